#pragma once

#include "backend/shared/slots/BootState.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::shared {

// The kernel command-line parameter by which the boot script tells the system which slot it booted.
inline constexpr std::string_view kSlotParameter = "velkor.slot=";

// "velkor.slot=A".
std::string SlotParameter(Slot slot);

// The slot a kernel command line names; nothing when it has no velkor.slot=. Throws DeviceError when
// it names a slot that does not exist.
std::optional<Slot> SlotOnCommandLine(std::string_view commandLine);

// The same, read from a command-line file (/proc/cmdline, or the simulator's record); nothing when
// the file is absent. Throws DeviceError when it cannot be read.
std::optional<Slot> ReadBootedSlot(const std::filesystem::path& commandLineFile);

}  // namespace velkor::shared
