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

}  // namespace velkor::sim::device_files
