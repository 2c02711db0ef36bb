#pragma once

#include "platform/System.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::sim {

inline constexpr int kMaxScreenSide = 8192;

// Switches in device.json that make platform failures reproducible.
struct FaultSwitches {
    // Device folders ("\StorageCard") in which nothing can be created, changed, deleted or moved.
    std::vector<std::u16string> writeProtected;
    // Writes that would make a file longer than this many bytes fail as on a full disk.
    std::optional<std::uint64_t> fileSizeLimit;
};

// What device.json says about the device.
struct DeviceConfig {
    platform::ScreenSize screen{800, 480};
    std::uint16_t languageId = 0x0409;
    FaultSwitches faults;
};

// Reads device.json's text; fields it does not know are ignored. Throws DeviceError naming
// `sourceName` and the field at fault.
DeviceConfig ParseDeviceConfig(std::string_view jsonText, std::string_view sourceName);

// Throws DeviceError unless both sides are from 1 to kMaxScreenSide.
void CheckScreenSize(platform::ScreenSize screen);

// A language id written as hex ("0x0804") or decimal ("2052"); nothing unless it fits 16 bits.
std::optional<std::uint16_t> ParseLanguageId(std::string_view text);
// "0x0804".
std::string LanguageIdText(std::uint16_t languageId);

}  // namespace velkor::sim
