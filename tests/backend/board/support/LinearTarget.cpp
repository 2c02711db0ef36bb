#include "backend/board/support/LinearTarget.h"

#include "backend/board/support/HostCommand.h"

#include <fmt/format.h>

#include <unistd.h>

namespace velkor::test {

LinearTarget::LinearTarget(const std::filesystem::path& device)
    : name_(fmt::format("velkor-test-{}-{}", ::getpid(), device.filename().string())) {
    const std::string quoted = ShellQuoted(device.string());
    active_ = RunHostCommand(fmt::format("dmsetup create {} --table \"0 $(blockdev --getsz {}) linear {} 0\"", name_,
                                         quoted, quoted))
                  .has_value();
}

LinearTarget::~LinearTarget() {
    if (active_) {
        RunHostCommand("dmsetup remove " + name_);
    }
}

}  // namespace velkor::test
