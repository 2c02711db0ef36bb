#pragma once

#include <filesystem>

namespace velkor::test {

// A FAT file system mounted from a device through fusefat (the kernel here may have no vfat),
// unmounted when the object goes.
class FuseFatMount {
public:
    // IsMounted() is false when the mount failed.
    FuseFatMount(const std::filesystem::path& device, const std::filesystem::path& mountPoint);
    ~FuseFatMount();
    FuseFatMount(const FuseFatMount&) = delete;
    FuseFatMount& operator=(const FuseFatMount&) = delete;

    bool IsMounted() const { return mounted_; }

private:
    std::filesystem::path mountPoint_;
    bool mounted_ = false;
};

}  // namespace velkor::test
