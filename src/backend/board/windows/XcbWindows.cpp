#include "backend/board/windows/XcbWindows.h"

#include "platform/DeviceText.h"
#include "backend/board/windows/PidfdProcess.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace velkor::board {

namespace error = platform::error;

XcbWindows::XcbWindows(const std::vector<ProgramMapping>& programs, shared::ErrorState& errors, shared::EventLog& events)
    : errors_(errors),
      events_(events),
      executables_(programs),
      identified_(executables_),
      ownProcess_(getpid()),
      topLevels_(x_),
      processIdAtom_(x_.Atom("_NET_WM_PID")),
      protocolsAtom_(x_.Atom("WM_PROTOCOLS")),
      deleteWindowAtom_(x_.Atom("WM_DELETE_WINDOW")) {}

platform::WindowHandle XcbWindows::MainWindow() {
    if (mainWindow_ != 0) {
        return mainWindow_;
    }
    const std::vector<xcb_window_t> stack = topLevels_.BottomUp();
    const auto own = std::find_if(stack.rbegin(), stack.rend(), [&](xcb_window_t window) {
        return ProcessOf(window) == static_cast<std::uint32_t>(ownProcess_);
    });
    return own != stack.rend() ? *own : 0;
}

platform::WindowHandle XcbWindows::GetWindow(platform::WindowHandle window, platform::WindowRelation relation) {
    const std::vector<xcb_window_t> stack = StackHolding(window);
    if (stack.empty()) {
        return 0;
    }
    switch (relation) {
        case platform::WindowRelation::Last:
            return stack.front();
        case platform::WindowRelation::Previous: {
            const auto above = std::find(stack.begin(), stack.end(), window) + 1;
            return above != stack.end() ? *above : 0;
        }
        case platform::WindowRelation::Owner:
            return x_.Property32(static_cast<xcb_window_t>(window), XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW)
                .value_or(0);
    }
    errors_.Fail(error::kInvalidParameter);
    return 0;
}

bool XcbWindows::IsWindowVisible(platform::WindowHandle window) {
    return IsUp(window) && x_.IsViewable(static_cast<xcb_window_t>(window));
}

std::uint32_t XcbWindows::GetWindowProcessId(platform::WindowHandle window) {
    return IsUp(window) ? ProcessOf(static_cast<xcb_window_t>(window)) : 0;
}

std::u16string XcbWindows::GetModuleFileName(std::uint32_t processId, std::size_t maxChars) {
    std::error_code errnoValue;
    const std::u16string name =
        identified_.Identify(processId == 0 ? static_cast<std::uint32_t>(ownProcess_) : processId, errnoValue);
    if (errnoValue) {
        errors_.Fail(ProcessError(errnoValue.value()));
        return {};
    }
    if (name.size() < maxChars) {
        return name;
    }
    errors_.Fail(error::kInsufficientBuffer);
    return name.substr(0, maxChars == 0 ? 0 : maxChars - 1);
}

std::intptr_t XcbWindows::SendCommand(platform::WindowHandle window, std::uintptr_t wParam, std::intptr_t) {
    if (!IsUp(window)) {
        return 0;
    }
    const std::uint32_t processId = ProcessOf(static_cast<xcb_window_t>(window));
    events_.WindowCommand(LoggedExecutable(processId), processId, wParam);
    if (!x_.SendClientMessage(static_cast<xcb_window_t>(window), protocolsAtom_, deleteWindowAtom_)) {
        // Gone since it was found, or the display with it.
        errors_.Fail(error::kInvalidWindowHandle);
        return 0;
    }
    AwaitHandling(window);
    return 0;
}

void XcbWindows::AwaitHandling(platform::WindowHandle window) {
    const auto deadline = std::chrono::steady_clock::now() + kCommandHandlingWait;
    // Looked for without failing: the command itself went through.
    const auto inStack = [&] {
        const std::vector<xcb_window_t> stack = topLevels_.BottomUp();
        return std::find(stack.begin(), stack.end(), window) != stack.end();
    };
    while (std::chrono::steady_clock::now() < deadline && inStack()) {
        std::this_thread::sleep_for(kCommandPollInterval);
    }
}

std::unique_ptr<platform::ProcessHandle> XcbWindows::OpenProcess(std::uint32_t, std::uint32_t processId) {
    if (processId == static_cast<std::uint32_t>(ownProcess_)) {
        errors_.Fail(error::kInvalidParameter);
        return nullptr;
    }
    std::error_code failure;
    shared::UniqueFd process = identified_.Take(processId, failure);
    if (failure) {
        errors_.Fail(ProcessError(failure.value()));
        return nullptr;
    }
    if (!PidfdProcess::MaySignal(process, errors_)) {
        return nullptr;
    }
    return std::make_unique<PidfdProcess>(std::move(process), processId, LoggedExecutable(processId), errors_, events_);
}

std::vector<xcb_window_t> XcbWindows::StackHolding(platform::WindowHandle window) {
    std::vector<xcb_window_t> stack = topLevels_.BottomUp();
    if (std::find(stack.begin(), stack.end(), window) == stack.end()) {
        errors_.Fail(error::kInvalidWindowHandle);
        stack.clear();
    }
    return stack;
}

std::uint32_t XcbWindows::ProcessOf(xcb_window_t window) const {
    return x_.Property32(window, processIdAtom_, XCB_ATOM_CARDINAL).value_or(0);
}

std::string XcbWindows::LoggedExecutable(std::uint32_t processId) const {
    std::error_code errnoValue;
    const std::u16string name = executables_.Of(processId, errnoValue);
    return errnoValue ? "?" : platform::ToUtf8(name);
}

}  // namespace velkor::board
