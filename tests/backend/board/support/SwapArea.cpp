#include "backend/board/support/SwapArea.h"

#include "backend/board/support/HostCommand.h"

namespace velkor::test {

SwapArea::SwapArea(const std::filesystem::path& device) : device_(device) {
    const std::string quoted = ShellQuoted(device_.string());
    active_ = RunHostCommand("mkswap " + quoted + " && swapon " + quoted).has_value();
}

SwapArea::~SwapArea() {
    if (active_) {
        RunHostCommand("swapoff " + ShellQuoted(device_.string()));
    }
}

}  // namespace velkor::test
