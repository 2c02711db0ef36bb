#pragma once

#include "platform/Windows.h"
#include "support/FakeLastError.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace velkor::test {

struct FakeWindow {
    platform::WindowHandle handle = 0;
    std::uint32_t processId = 0;
    bool visible = true;
    platform::WindowHandle owner = 0;
    // A command to the window takes it down; its program runs on.
    bool closesOnCommand = false;
};

// A window manager over a list of top-level windows that records what the program asks of it.
// Calls about a window it does not hold fail with kInvalidWindowHandle, and processes it does not
// know (or the updater's own, the main window's) with kInvalidParameter, as the device's do.
// Terminating a process ends it: it opens no more, and a second termination fails with
// kAccessDenied; its windows and name go with it unless `terminateLeavesWindows` is set.
class FakeWindows : public platform::Windows, public FakeLastError {
public:
    using FakeLastError::FakeLastError;

    // Top to bottom.
    std::vector<FakeWindow> zOrder;
    std::map<std::uint32_t, std::u16string> executables;
    platform::WindowHandle mainWindow = 0;
    // Processes that do not open (kAccessDenied).
    std::set<std::uint32_t> openFails;
    // Processes whose termination fails with kAccessDenied; they run on.
    std::set<std::uint32_t> terminateFails;
    bool terminateLeavesWindows = false;
    // "walk", "command <window> <id>", "open <process>", "terminate <process> <code>", "close <process>".
    std::vector<std::string> calls;

    platform::WindowHandle MainWindow() override { return mainWindow; }
    platform::WindowHandle GetWindow(platform::WindowHandle window, platform::WindowRelation relation) override;
    bool IsWindowVisible(platform::WindowHandle window) override;
    std::uint32_t GetWindowProcessId(platform::WindowHandle window) override;
    std::u16string GetModuleFileName(std::uint32_t processId, std::size_t maxChars) override;
    std::intptr_t SendCommand(platform::WindowHandle window, std::uintptr_t wParam, std::intptr_t lParam) override;
    std::unique_ptr<platform::ProcessHandle> OpenProcess(std::uint32_t access, std::uint32_t processId) override;

private:
    class Process;

    // The window, or null with kInvalidWindowHandle set.
    const FakeWindow* Find(platform::WindowHandle window);
    bool IsSibling(std::uint32_t processId) const;
    // Ends the process; false with kAccessDenied when it cannot be ended.
    bool End(std::uint32_t processId);

    std::set<std::uint32_t> ended_;
};

}  // namespace velkor::test
