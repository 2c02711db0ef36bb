#pragma once

#include "platform/FlashControlCodes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velkor::shared {

enum class FlashRegion : std::size_t { Boot, Logo, Os, App };

inline constexpr std::uint64_t kMebibyte = 1024 * 1024;

struct FlashRegionInfo {
    FlashRegion region;
    // The region's key in the simulator's device.json; with ".bin", its file in DIR/flash.
    std::string_view name;
    std::uint32_t controlCode;
    // Large enough for the sample images of a new simulated device.
    std::uint64_t defaultBytes;
    // The OS and App may have two slots; the boot loader and the logo are always written in place,
    // since a board has one place its boot ROM and boot loader read them from.
    bool mayHaveTwoSlots;
};

// The regions in the order every table of them follows (a target file's flash regions too).
inline constexpr std::array<FlashRegionInfo, 4> kFlashRegions{{
    {FlashRegion::Boot, "boot", platform::IOCTL_FLASH_WRITE_BOOT, 1 * kMebibyte, false},
    {FlashRegion::Logo, "logo", platform::IOCTL_FLASH_WRITE_LOGO, 16 * kMebibyte, false},
    {FlashRegion::Os, "os", platform::IOCTL_FLASH_WRITE_OS, 64 * kMebibyte, true},
    {FlashRegion::App, "app", platform::IOCTL_FLASH_WRITE_APP, 64 * kMebibyte, true},
}};

// Null when no region goes by that code or name.
const FlashRegionInfo* FindRegionByCode(std::uint32_t controlCode);
const FlashRegionInfo* FindRegionByName(std::string_view name);

// "os.bin".
// The debug line of a row whose region the device does not have; the row then fails with 50.
std::string NoRegionLine(const FlashRegionInfo& region);
std::string RegionFileName(const FlashRegionInfo& region);
// "os-b.bin": a slot of a two-slot region in the simulator's DIR/flash.
std::string SlotFileName(const FlashRegionInfo& region, char slotLetter);
// "os and app": the regions that may have two slots.
std::string TwoSlotRegionNames();

}  // namespace velkor::shared
