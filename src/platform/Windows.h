#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace velkor::platform {

// A top-level window of the device; 0 is none.
using WindowHandle = std::uintptr_t;

// Which neighbour of a window to look up.
enum class WindowRelation : std::uint32_t { Last = 1, Previous = 3, Owner = 4 };

// Command identifiers a window's owner program understands.
inline constexpr std::uintptr_t IDOK = 1;
inline constexpr std::uintptr_t IDCANCEL = 2;

inline constexpr std::uint32_t PROCESS_TERMINATE = 1;

// An open process; destroying the object closes it.
class ProcessHandle {
public:
    virtual ~ProcessHandle() = default;

    // Ends the process with `exitCode`; false with the last error set.
    virtual bool Terminate(std::uint32_t exitCode) = 0;
};

// The device's window manager and processes, reduced to what the program asks of them.
// Failures set the platform's last-error code.
class Windows {
public:
    virtual ~Windows() = default;

    // The program's own main window: its place in the z-order of top-level windows.
    virtual WindowHandle MainWindow() = 0;
    // The neighbour of `window` in the z-order (Last, Previous) or its owner; 0 when there is none.
    virtual WindowHandle GetWindow(WindowHandle window, WindowRelation relation) = 0;
    virtual bool IsWindowVisible(WindowHandle window) = 0;
    // The process that made the window; 0 for none.
    virtual std::uint32_t GetWindowProcessId(WindowHandle window) = 0;
    // The executable path of the process, at most `maxChars` characters with the terminator;
    // empty when it cannot be told.
    virtual std::u16string GetModuleFileName(std::uint32_t processId, std::size_t maxChars) = 0;
    // Sends WM_COMMAND and returns once the window's program has handled it.
    virtual std::intptr_t SendCommand(WindowHandle window, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    // Null with the last error set.
    virtual std::unique_ptr<ProcessHandle> OpenProcess(std::uint32_t access, std::uint32_t processId) = 0;
};

}  // namespace velkor::platform
