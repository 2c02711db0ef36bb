#include "backend/board/support/LoopDevice.h"

#include "backend/board/support/HostCommand.h"

#include <optional>
#include <string>

namespace velkor::test {

LoopDevice::LoopDevice(const std::filesystem::path& file) {
    const std::optional<std::string> output = RunHostCommand("losetup -f --show " + ShellQuoted(file.string()));
    if (output) {
        path_ = output->substr(0, output->find('\n'));
    }
}

LoopDevice::~LoopDevice() {
    if (!path_.empty()) {
        RunHostCommand("losetup -d " + ShellQuoted(path_.string()));
    }
}

}  // namespace velkor::test
