#include "backend/sim/windows/Desktop.h"

#include <algorithm>

namespace velkor::sim {

Desktop::Desktop(const std::vector<ProgramConfig>& programs)
    : updater_{kUpdaterProcessId, std::u16string(kUpdaterExecutable), {WindowConfig{}}, CommandEffect::Ignore} {
    Start(updater_);
    for (const ProgramConfig& program : programs) {
        Start(program);
    }
}

void Desktop::Start(const ProgramConfig& program) {
    running_.push_back(&program);
    for (const WindowConfig& window : program.windows) {
        // Numbered from 1 in z-order; as windows only go away, no number is ever given twice.
        zOrder_.push_back({zOrder_.size() + 1, &program, window});
    }
}

platform::WindowHandle Desktop::MainWindow() const { return zOrder_.front().handle; }

const Desktop::Window* Desktop::FindWindow(platform::WindowHandle handle) const {
    const auto found =
        std::find_if(zOrder_.begin(), zOrder_.end(), [&](const Window& window) { return window.handle == handle; });
    return found != zOrder_.end() ? &*found : nullptr;
}

platform::WindowHandle Desktop::Bottom() const { return zOrder_.back().handle; }

platform::WindowHandle Desktop::Above(platform::WindowHandle handle) const {
    const Window* window = FindWindow(handle);
    return window && window != &zOrder_.front() ? (window - 1)->handle : 0;
}

const ProgramConfig* Desktop::FindProgram(std::uint32_t processId) const {
    const auto found = std::find_if(running_.begin(), running_.end(),
                                    [&](const ProgramConfig* program) { return program->processId == processId; });
    return found != running_.end() ? *found : nullptr;
}

void Desktop::CloseWindow(platform::WindowHandle handle) {
    std::erase_if(zOrder_,
                  [&](const Window& window) { return window.handle == handle && window.program != &updater_; });
}

void Desktop::EndProgram(std::uint32_t processId) {
    if (processId == updater_.processId) {
        return;
    }
    std::erase_if(running_, [&](const ProgramConfig* program) { return program->processId == processId; });
    std::erase_if(zOrder_, [&](const Window& window) { return window.program->processId == processId; });
}

}  // namespace velkor::sim
