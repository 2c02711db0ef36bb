#pragma once

#include "platform/Windows.h"

#include <map>
#include <string>
#include <vector>

namespace velkor::test {

struct FakeWindow {
    platform::WindowHandle handle = 0;
    std::uint32_t processId = 0;
    bool visible = true;
    platform::WindowHandle owner = 0;
};

// A window manager over a list of top-level windows that records what the program asks of it.
// Terminating a process takes its windows down unless `terminateLeavesWindows` is set.
class FakeWindows : public platform::Windows {
public:
    // Top to bottom.
    std::vector<FakeWindow> zOrder;
    std::map<std::uint32_t, std::u16string> executables;
    platform::WindowHandle mainWindow = 0;
    bool openFails = false;
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

    const FakeWindow* Find(platform::WindowHandle window) const;
};

}  // namespace velkor::test
