#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace velkor::test {

// velkor_test_unkeptfs mounted on a folder the test made, for the life of the object: a FUSE
// volume whose written files fail at close, as when a volume's flush fails.
class UnkeptMount {
public:
    explicit UnkeptMount(const std::filesystem::path& mountPoint);
    ~UnkeptMount();
    UnkeptMount(const UnkeptMount&) = delete;
    UnkeptMount& operator=(const UnkeptMount&) = delete;

    // Why the volume is not there; empty when it is mounted.
    const std::string& Unavailable() const { return unavailable_; }

private:
    bool AwaitMount(const std::filesystem::path& mountPoint);

    pid_t pid_ = -1;
    std::string unavailable_;
};

}  // namespace velkor::test
