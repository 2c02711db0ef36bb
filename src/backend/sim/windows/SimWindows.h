#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "platform/Windows.h"
#include "backend/sim/DeviceConfig.h"
#include "backend/sim/windows/Desktop.h"

namespace velkor::sim {

// The window manager of a device whose programs device.json lists, under the updater's own main
// window. Commands and terminations are recorded in events.log; what they change lasts for the
// run. A handle that names no window (any more) fails with 1400 (invalid window handle).
class SimWindows : public platform::Windows {
public:
    // `config` must outlive the window manager.
    SimWindows(const DeviceConfig& config, shared::ErrorState& errors, shared::EventLog& events);

    platform::WindowHandle MainWindow() override;
    platform::WindowHandle GetWindow(platform::WindowHandle window, platform::WindowRelation relation) override;
    bool IsWindowVisible(platform::WindowHandle window) override;
    std::uint32_t GetWindowProcessId(platform::WindowHandle window) override;
    // 0 stands for the updater itself. A path longer than `maxChars` allows is cut to fit with its
    // terminator and fails with 122 (insufficient buffer); an id of no running program with 87.
    std::u16string GetModuleFileName(std::uint32_t processId, std::size_t maxChars) override;
    // The command is logged for any window, the updater's own included; only the sibling
    // programs act on it.
    std::intptr_t SendCommand(platform::WindowHandle window, std::uintptr_t wParam, std::intptr_t lParam) override;
    // Any running program but the updater itself opens, whatever access is asked; anything else
    // fails with 87.
    std::unique_ptr<platform::ProcessHandle> OpenProcess(std::uint32_t access, std::uint32_t processId) override;

private:
    // Null with 1400 set when `window` is not up.
    const Desktop::Window* WindowUp(platform::WindowHandle window);
    bool RefusesTermination(const ProgramConfig& program) const;
    // True when one of `selectors` names `program`.
    static bool Matches(const std::vector<ProgramSelector>& selectors, const ProgramConfig& program);

    const DeviceConfig& config_;
    shared::ErrorState& errors_;
    shared::EventLog& events_;
    Desktop desktop_;
};

}  // namespace velkor::sim
