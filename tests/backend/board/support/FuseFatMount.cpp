#include "backend/board/support/FuseFatMount.h"

#include "backend/board/support/HostCommand.h"

namespace velkor::test {

FuseFatMount::FuseFatMount(const std::filesystem::path& device, const std::filesystem::path& mountPoint)
    : mountPoint_(mountPoint) {
    std::filesystem::create_directories(mountPoint_);
    mounted_ =
        RunHostCommand("fusefat -o rw+ " + ShellQuoted(device.string()) + " " + ShellQuoted(mountPoint_.string()))
            .has_value();
}

FuseFatMount::~FuseFatMount() {
    if (mounted_) {
        RunHostCommand("fusermount -u " + ShellQuoted(mountPoint_.string()));
    }
}

}  // namespace velkor::test
