#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace velkor::sim {

// The updater's own process: its id is fixed so that events.log and tests read the same on every
// run, and no program in device.json may take it.
inline constexpr std::uint32_t kUpdaterProcessId = 100;
inline constexpr std::u16string_view kUpdaterExecutable = u"\\Windows\\Velkor.exe";

// What a program does when one of its windows is sent a command.
enum class CommandEffect {
    Ignore,
    Close,  // takes that window down, as a dialog ends; the program runs on until it is terminated
};

struct CommandEffectName {
    CommandEffect effect;
    // As device.json spells it.
    std::string_view name;
};
inline constexpr std::array<CommandEffectName, 2> kCommandEffectNames{{
    {CommandEffect::Ignore, "ignore"},
    {CommandEffect::Close, "close"},
}};

std::string_view CommandEffectText(CommandEffect effect);

struct WindowConfig {
    bool visible = true;
    // Owned by the updater's main window.
    bool owned = false;
};

// A program that runs beside the updater from the device's start.
struct ProgramConfig {
    std::uint32_t processId = 0;
    std::u16string executable;
    // Top-level windows, topmost first.
    std::vector<WindowConfig> windows;
    CommandEffect onCommand = CommandEffect::Ignore;
};

// A program named by its process id or by its executable.
using ProgramSelector = std::variant<std::uint32_t, std::u16string>;

// Executables compare without regard to case, as the device's paths do.
bool Selects(const ProgramSelector& selector, const ProgramConfig& program);

}  // namespace velkor::sim
