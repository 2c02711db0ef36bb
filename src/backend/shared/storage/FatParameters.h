#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

namespace velkor::shared {

// A FAT volume's layout as its boot sector's BIOS parameter block states it.
struct FatParameters {
    std::uint32_t bytesPerSector = 0;
    std::uint32_t sectorsPerCluster = 0;
    std::uint32_t reservedSectors = 0;
    std::uint32_t fats = 0;
    std::uint32_t rootEntries = 0;
    std::uint32_t totalSectors = 0;
    std::uint32_t media = 0;
    std::uint32_t sectorsPerFat = 0;
    std::uint32_t sectorsPerTrack = 0;
    std::uint32_t heads = 0;
    std::uint32_t hiddenSectors = 0;

    bool operator==(const FatParameters&) const = default;
};

// One parameter: its range and its place in the BIOS parameter block.
struct FatField {
    std::uint32_t FatParameters::*member;
    // Its width in the BIOS parameter block, which bounds the value.
    std::uint32_t bytes;
    // Sector and cluster sizes divide the device's arithmetic, so they are never 0.
    std::uint32_t minimum;
    // From the start of the BIOS parameter block; the total has two places, a 16-bit and a 32-bit one.
    std::optional<std::uint32_t> offset;

    std::uint32_t Maximum() const { return static_cast<std::uint32_t>((std::uint64_t{1} << (8 * bytes)) - 1); }
};

inline constexpr std::array<FatField, 11> kFatFields{{
    {&FatParameters::bytesPerSector, 2, 1, 0},
    {&FatParameters::sectorsPerCluster, 1, 1, 2},
    {&FatParameters::reservedSectors, 2, 0, 3},
    {&FatParameters::fats, 1, 0, 5},
    {&FatParameters::rootEntries, 2, 0, 6},
    {&FatParameters::totalSectors, 4, 0, std::nullopt},
    {&FatParameters::media, 1, 0, 10},
    {&FatParameters::sectorsPerFat, 2, 0, 11},
    {&FatParameters::sectorsPerTrack, 2, 0, 13},
    {&FatParameters::heads, 2, 0, 15},
    {&FatParameters::hiddenSectors, 4, 0, 17},
}};

// The field of `member`. A member the table lacks is no constant expression, so it does not compile.
consteval const FatField& FatFieldOf(std::uint32_t FatParameters::*member) {
    return *std::find_if(kFatFields.begin(), kFatFields.end(),
                         [&](const FatField& field) { return field.member == member; });
}

// The total's two places in the BIOS parameter block: the 16-bit one holds totals up to 65535,
// the 32-bit one larger totals, and the other is 0.
inline constexpr std::uint32_t kSmallTotalOffset = 8;
inline constexpr std::uint32_t kSmallTotalBytes = 2;
inline constexpr std::uint32_t kLargeTotalOffset = 21;
inline constexpr std::uint32_t kLargeTotalBytes = 4;
inline constexpr std::uint32_t kBiosParameterBlockBytes = 25;

// Whether every parameter lies in its field's range.
bool FitsFields(const FatParameters& fat);

}  // namespace velkor::shared
