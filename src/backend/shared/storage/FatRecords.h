#pragma once

#include "backend/shared/storage/FatParameters.h"
#include "platform/DiskControlCodes.h"
#include "platform/FormatLibrary.h"

#include <array>
#include <cstdint>

namespace velkor::shared {

// The binary replies of the disk and volume drivers, every number little-endian.

// What a disk driver knows of its medium. A medium without a geometry reports 0 heads and 0
// sectors per track.
struct DiskGeometry {
    std::uint32_t totalSectors = 0;
    std::uint32_t bytesPerSector = 0;
    std::uint32_t heads = 0;
    std::uint32_t sectorsPerTrack = 0;
};

// DISK_IOCTL_GETINFO's record: six 32-bit words, the total sectors, bytes per sector, cylinders
// (the whole tracks the total fills over all heads), heads, sectors per track and flags (always 0).
platform::DiskInfo DiskInfoRecord(const DiskGeometry& disk);
// The record of a disk that holds exactly the volume `fat`.
platform::DiskInfo DiskInfoRecord(const FatParameters& fat);

// IOCTL_DISK_GET_VOLUME_PARAMETERS's reply: zeros around the volume's BIOS parameter block at
// kBiosParameterBlockOffset.
inline constexpr std::uint32_t kBiosParameterBlockOffset = 13;
using VolumeParametersRecord = std::array<std::uint8_t, platform::kVolumeParametersBytes>;
VolumeParametersRecord MakeVolumeParametersRecord(const FatParameters& fat);

// IOCTL_DISK_GET_FREE_SPACE's reply: four 32-bit words, the sectors per cluster, bytes per
// sector, free clusters and total clusters, as the device's free-space query reports them.
using FreeSpaceRecord = std::array<std::uint8_t, platform::kFreeSpaceBytes>;
FreeSpaceRecord MakeFreeSpaceRecord(const FatParameters& fat, std::uint32_t freeClusters);

}  // namespace velkor::shared
