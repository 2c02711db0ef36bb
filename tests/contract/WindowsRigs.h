#pragma once

#include "backend/shared/ErrorState.h"
#include "contract/ContractSuite.h"
#include "platform/Windows.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::test {

// What a windows case may need beyond the scene: terminating Pavlor fails, and it runs on; Pavlor's
// process does not open.
inline constexpr Arrangements kPavlorTerminationRefused = 1;
inline constexpr Arrangements kPavlorOpenRefused = 2;

// One implementation of the device's windows and processes, showing the contract's scene. Top to
// bottom: the updater's main window "updater"; Tirnow's windows "tirnow" (visible), "tirnow-hidden"
// and "tirnow-owned" (owned by another window); Pavlor's "pavlor", which closes when it is sent a
// command while Pavlor runs on. Tirnow and Pavlor are \Windows\Tirnow.exe and \Windows\Pavlor.exe.
class WindowsRig {
public:
    virtual ~WindowsRig() = default;

    // Why the rig cannot stand on this machine; empty when it stands.
    virtual std::string Unavailable() const { return {}; }
    virtual platform::Windows& Windows() = 0;
    // The last error Windows() sets.
    virtual shared::ErrorState& Errors() = 0;
    // Ends the program ("tirnow", "pavlor") as if it had ended by itself.
    virtual void EndProgram(std::string_view program) = 0;

    platform::WindowHandle Window(std::string_view role) const { return windows_.at(std::string(role)); }
    std::uint32_t Pid(std::string_view program) const { return processes_.at(std::string(program)); }
    // The window's role, or its number.
    std::string WindowName(platform::WindowHandle window) const;
    // `text` with the programs' process ids written "<program>".
    virtual std::string Named(std::string text) const;

protected:
    void NameWindow(std::string role, platform::WindowHandle window) { windows_[std::move(role)] = window; }
    void NameProcess(std::string program, std::uint32_t processId) { processes_[std::move(program)] = processId; }

private:
    std::map<std::string, platform::WindowHandle> windows_;
    std::map<std::string, std::uint32_t> processes_;
};

// The fake, the simulator (device.json's programs) and, on a virtual X display, the real device
// (X clients standing in for the programs).
std::vector<RigMaker<WindowsRig>> WindowsRigs();

}  // namespace velkor::test
