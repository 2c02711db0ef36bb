#include "backend/board/support/FatVolume.h"

#include "backend/board/support/HostCommand.h"

namespace velkor::test {

FatVolume::FatVolume(const std::filesystem::path& image, std::uintmax_t bytes, const std::string& mkfsOptions,
                     const std::filesystem::path& mountPoint)
    : unavailable_(Make(image, bytes, mkfsOptions, mountPoint)) {}

std::string FatVolume::Make(const std::filesystem::path& image, std::uintmax_t bytes, const std::string& mkfsOptions,
                            const std::filesystem::path& mountPoint) {
    if (std::string missing = RootDevicesMissing({"/dev/loop-control", "/dev/fuse"}); !missing.empty()) {
        return missing;
    }
    MakeSparseFile(image, bytes);
    if (!RunHostCommand("mkfs.fat " + mkfsOptions + " " + ShellQuoted(image.string()))) {
        return "mkfs.fat (dosfstools) could not lay the volume";
    }
    if (loop_.emplace(image).Path().empty()) {
        return "losetup set up no loop device";
    }
    if (!mount_.emplace(loop_->Path(), mountPoint).IsMounted()) {
        return "fusefat did not mount the loop device";
    }
    return {};
}

}  // namespace velkor::test
