#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "platform/Windows.h"
#include "backend/board/TargetConfig.h"
#include "backend/board/windows/ExecutableNames.h"
#include "backend/board/windows/IdentifiedProcesses.h"
#include "backend/board/windows/TopLevelWindows.h"
#include "backend/board/windows/XcbConnection.h"

#include <sys/types.h>

#include <chrono>
#include <vector>

namespace velkor::board {

// The window manager and processes of a real device: the top-level windows of the X display in
// $DISPLAY, the processes of /proc. A window handle is an X window id; a handle that names no
// top-level window (any more) fails with 1400 (invalid window handle). Without a display there
// are no windows, so every handle fails that way, and processes still open.
class XcbWindows : public platform::Windows {
public:
    // How long a command waits for its window to go: X delivers a request without waiting for
    // the program to act on it, and the device's programs are asked to close before they are ended.
    static constexpr std::chrono::milliseconds kCommandHandlingWait{1000};
    static constexpr std::chrono::milliseconds kCommandPollInterval{10};

    // Connects to the display here. `programs` names the sibling programs' executables.
    XcbWindows(const std::vector<ProgramMapping>& programs, shared::ErrorState& errors, shared::EventLog& events);

    // The updater's own window is made after the platform: main() hands it over once it exists
    // (with Qt on xcb, the main dialog's winId()). Until then, or with 0, MainWindow() answers the
    // topmost top-level window that this process made.
    void SetMainWindow(platform::WindowHandle window) { mainWindow_ = window; }

    // 0 when no window is known to belong to this process (by its _NET_WM_PID).
    platform::WindowHandle MainWindow() override;
    // Last is the bottom-most top-level window and Previous the one above `window`, so a walk from
    // Last through Previous goes bottom-up; Owner is WM_TRANSIENT_FOR. 87 for another relation.
    platform::WindowHandle GetWindow(platform::WindowHandle window, platform::WindowRelation relation) override;
    // Viewable: mapped, and inside a mapped frame where there is one.
    bool IsWindowVisible(platform::WindowHandle window) override;
    // _NET_WM_PID, 0 when the window does not say.
    std::uint32_t GetWindowProcessId(platform::WindowHandle window) override;
    // 0 stands for the updater itself. A path longer than `maxChars` allows is cut to fit with its
    // terminator and fails with 122 (insufficient buffer); an id of no process fails with 87. A
    // sibling program's process is identified here, its pidfd taken (IdentifiedProcesses).
    std::u16string GetModuleFileName(std::uint32_t processId, std::size_t maxChars) override;
    // Asks the window to close (WM_DELETE_WINDOW, whatever the command) and returns once the
    // window has gone, as a program that handled the command takes its window down, or after
    // kCommandHandlingWait when it has not. Always 0. The command is logged for any top-level
    // window, with "?" for an executable that cannot be told.
    std::intptr_t SendCommand(platform::WindowHandle window, std::uintptr_t wParam, std::intptr_t lParam) override;
    // Any process but the updater itself that this one may signal opens, whatever access is
    // asked; another user's fails with 5, the updater's own and an id of no process with 87. A
    // sibling program's process is the one identified by GetModuleFileName: 87 when that one has
    // ended or its id now runs anything else, so that no other process is ever ended in its place.
    std::unique_ptr<platform::ProcessHandle> OpenProcess(std::uint32_t access, std::uint32_t processId) override;

private:
    // The stack, bottom-up, when `window` is in it; empty with 1400 set when not.
    std::vector<xcb_window_t> StackHolding(platform::WindowHandle window);
    bool IsUp(platform::WindowHandle window) { return !StackHolding(window).empty(); }
    // Waits, a bounded time, for the window to go after a command.
    void AwaitHandling(platform::WindowHandle window);
    std::uint32_t ProcessOf(xcb_window_t window) const;
    std::string LoggedExecutable(std::uint32_t processId) const;

    shared::ErrorState& errors_;
    shared::EventLog& events_;
    const ExecutableNames executables_;
    IdentifiedProcesses identified_;
    const pid_t ownProcess_;
    const XcbConnection x_;
    const TopLevelWindows topLevels_;
    const xcb_atom_t processIdAtom_;
    const xcb_atom_t protocolsAtom_;
    const xcb_atom_t deleteWindowAtom_;
    platform::WindowHandle mainWindow_ = 0;
};

}  // namespace velkor::board
