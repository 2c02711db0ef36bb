#include "backend/sim/windows/SimWindows.h"

#include "platform/DeviceText.h"
#include "backend/sim/windows/SimProcess.h"

#include <fmt/format.h>

#include <algorithm>

namespace velkor::sim {

namespace error = platform::error;

SimWindows::SimWindows(const DeviceConfig& config, shared::ErrorState& errors, shared::EventLog& events)
    : config_(config), errors_(errors), events_(events), desktop_(config.programs) {}

platform::WindowHandle SimWindows::MainWindow() { return desktop_.MainWindow(); }

platform::WindowHandle SimWindows::GetWindow(platform::WindowHandle window, platform::WindowRelation relation) {
    const Desktop::Window* found = WindowUp(window);
    if (!found) {
        return 0;
    }
    switch (relation) {
        case platform::WindowRelation::Last:
            return desktop_.Bottom();
        case platform::WindowRelation::Previous:
            return desktop_.Above(window);
        case platform::WindowRelation::Owner:
            return found->config.owned ? desktop_.MainWindow() : 0;
    }
    errors_.Fail(error::kInvalidParameter);
    return 0;
}

bool SimWindows::IsWindowVisible(platform::WindowHandle window) {
    const Desktop::Window* found = WindowUp(window);
    return found && found->config.visible;
}

std::uint32_t SimWindows::GetWindowProcessId(platform::WindowHandle window) {
    const Desktop::Window* found = WindowUp(window);
    return found ? found->program->processId : 0;
}

std::u16string SimWindows::GetModuleFileName(std::uint32_t processId, std::size_t maxChars) {
    const ProgramConfig* program = desktop_.FindProgram(processId == 0 ? kUpdaterProcessId : processId);
    if (!program) {
        errors_.Fail(error::kInvalidParameter);
        return {};
    }
    if (program->executable.size() < maxChars) {
        return program->executable;
    }
    errors_.Fail(error::kInsufficientBuffer);
    return program->executable.substr(0, maxChars == 0 ? 0 : maxChars - 1);
}

std::intptr_t SimWindows::SendCommand(platform::WindowHandle window, std::uintptr_t wParam, std::intptr_t) {
    const Desktop::Window* found = WindowUp(window);
    if (!found) {
        return 0;
    }
    const ProgramConfig& program = *found->program;
    events_.WindowCommand(platform::ToUtf8(program.executable), program.processId, wParam);
    if (program.onCommand == CommandEffect::Close) {
        desktop_.CloseWindow(window);
    }
    return 0;
}

std::unique_ptr<platform::ProcessHandle> SimWindows::OpenProcess(std::uint32_t, std::uint32_t processId) {
    const ProgramConfig* program = processId == kUpdaterProcessId ? nullptr : desktop_.FindProgram(processId);
    if (!program) {
        errors_.Fail(error::kInvalidParameter);
        return nullptr;
    }
    if (Matches(config_.faults.processOpenFails, *program)) {
        errors_.Fail(error::kAccessDenied);
        return nullptr;
    }
    return std::make_unique<SimProcess>(*program, RefusesTermination(*program), desktop_, errors_, events_);
}

const Desktop::Window* SimWindows::WindowUp(platform::WindowHandle window) {
    const Desktop::Window* found = desktop_.FindWindow(window);
    if (!found) {
        errors_.Fail(error::kInvalidWindowHandle);
    }
    return found;
}

bool SimWindows::RefusesTermination(const ProgramConfig& program) const {
    return Matches(config_.faults.terminateFails, program);
}

bool SimWindows::Matches(const std::vector<ProgramSelector>& selectors, const ProgramConfig& program) {
    return std::any_of(selectors.begin(), selectors.end(),
                       [&](const ProgramSelector& selector) { return Selects(selector, program); });
}

}  // namespace velkor::sim
