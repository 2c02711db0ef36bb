#pragma once

#include <string_view>

namespace velkor::sim::device_files {

// The entries of a device directory.
inline constexpr std::string_view kConfig = "device.json";
inline constexpr std::string_view kRegistry = "platform.reg";
inline constexpr std::string_view kRoot = "root";
inline constexpr std::string_view kFlash = "flash";
inline constexpr std::string_view kDebugLog = "debug.log";
inline constexpr std::string_view kEventsLog = "events.log";
// The boot loader's environment, two redundant copies, for devices with two-slot regions.
inline constexpr std::string_view kEnvironment = "uboot.env";
inline constexpr std::string_view kRedundantEnvironment = "uboot-redund.env";
// The kernel command line of the last boot (velkor-device boot), which names the booted slot.
inline constexpr std::string_view kCommandLine = "cmdline";
// The release a trusted card installed, beside the device's own files: never on a volume an update
// formats.
inline constexpr std::string_view kInstalledRecord = "installed.json";

}  // namespace velkor::sim::device_files
