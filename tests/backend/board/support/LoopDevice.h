#pragma once

#include <filesystem>

namespace velkor::test {

// A loop device over a file the test made, detached when the object goes.
class LoopDevice {
public:
    // Path() is empty when no loop device could be set up.
    explicit LoopDevice(const std::filesystem::path& file);
    ~LoopDevice();
    LoopDevice(const LoopDevice&) = delete;
    LoopDevice& operator=(const LoopDevice&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace velkor::test
