#pragma once

#include <filesystem>

namespace velkor::test {

// A device-mapper linear target over the whole of a block device the test made, so that the
// device has a holder; removed when the object goes.
class LinearTarget {
public:
    explicit LinearTarget(const std::filesystem::path& device);
    ~LinearTarget();
    LinearTarget(const LinearTarget&) = delete;
    LinearTarget& operator=(const LinearTarget&) = delete;

    // False when device-mapper refused it (no dm driver in the kernel, no /dev/mapper/control).
    bool IsActive() const { return active_; }

private:
    std::string name_;
    bool active_ = false;
};

}  // namespace velkor::test
