#pragma once

#include "platform/Windows.h"
#include "backend/sim/windows/ProgramConfig.h"

#include <cstdint>
#include <vector>

namespace velkor::sim {

// The running programs and their top-level windows in z-order, for one run. The updater is a
// program like the others with one window, its main window, on top of all. Windows and programs
// only ever go away, and a handle is never given to another window.
class Desktop {
public:
    struct Window {
        platform::WindowHandle handle = 0;
        const ProgramConfig* program = nullptr;
        WindowConfig config;
    };

    // `programs` must outlive the desktop; the first program's windows are topmost among them.
    explicit Desktop(const std::vector<ProgramConfig>& programs);

    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    platform::WindowHandle MainWindow() const;
    // Null when `handle` names no window that is still up.
    const Window* FindWindow(platform::WindowHandle handle) const;
    platform::WindowHandle Bottom() const;
    // 0 for the topmost window.
    platform::WindowHandle Above(platform::WindowHandle handle) const;
    // Null unless a program with that id runs; the updater's own id answers the updater.
    const ProgramConfig* FindProgram(std::uint32_t processId) const;

    // The updater's main window and process stay for the whole run, so neither call ends them
    // and the z-order is never empty.
    void CloseWindow(platform::WindowHandle handle);
    // Takes the program and all its windows away.
    void EndProgram(std::uint32_t processId);

private:
    void Start(const ProgramConfig& program);

    ProgramConfig updater_;
    std::vector<const ProgramConfig*> running_;
    // Topmost first.
    std::vector<Window> zOrder_;
};

}  // namespace velkor::sim
