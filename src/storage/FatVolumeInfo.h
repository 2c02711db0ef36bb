#pragma once

#include <cstdint>
#include <span>

namespace velkor::storage {

// What the format needs to know of a FAT volume, read from its volume device.
struct FatVolumeInfo {
    std::uint32_t mediaDescriptor = 0;
    std::uint32_t bytesPerSector = 0;
    std::uint32_t sectorsPerCluster = 0;
    std::uint32_t totalSectors = 0;
    std::uint32_t reservedSectors = 0;
    std::uint32_t hiddenSectors = 0;
    std::uint32_t sectorsPerTrack = 0;
    std::uint32_t heads = 0;
    std::uint32_t sectorsPerFat = 0;
    std::uint32_t numberOfFats = 0;
    std::uint32_t rootEntries = 0;
    std::uint32_t totalClusters = 0;  // the free-space reply's word at byte 12
    std::uint32_t freeClusters = 0;   // the free-space reply's word at byte 8

    bool operator==(const FatVolumeInfo&) const = default;
};

// Fills the fields from the BIOS parameter block at byte 13 of a volume parameters reply; the
// total is the 16-bit count, or the 32-bit one when that is 0. The cluster counts stay as they are.
void ReadParameterBlock(std::span<const std::uint8_t, 360> reply, FatVolumeInfo& info);

// Takes the cluster counts from a free-space reply.
void ReadFreeSpace(std::span<const std::uint8_t, 16> reply, FatVolumeInfo& info);

}  // namespace velkor::storage
