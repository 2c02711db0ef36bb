#include "storage/FatVolumeInfo.h"

#include "platform/LittleEndian.h"

namespace velkor::storage {
namespace {

using platform::Read16;
using platform::Read32;
using platform::Read8;

// Offsets in the volume parameters reply.
enum ParameterBlock : std::size_t {
    kBytesPerSector = 13,
    kSectorsPerCluster = 15,
    kReservedSectors = 16,
    kNumberOfFats = 18,
    kRootEntries = 19,
    kSmallTotalSectors = 21,
    kMediaDescriptor = 23,
    kSectorsPerFat = 24,
    kSectorsPerTrack = 26,
    kHeads = 28,
    kHiddenSectors = 30,
    kLargeTotalSectors = 34,
};

// Offsets in the free-space reply.
enum FreeSpace : std::size_t { kFreeClusters = 8, kTotalClusters = 12 };

}  // namespace

void ReadParameterBlock(std::span<const std::uint8_t, 360> reply, FatVolumeInfo& info) {
    info.mediaDescriptor = Read8(reply, kMediaDescriptor);
    info.bytesPerSector = Read16(reply, kBytesPerSector);
    info.sectorsPerCluster = Read8(reply, kSectorsPerCluster);
    const std::uint16_t smallTotal = Read16(reply, kSmallTotalSectors);
    info.totalSectors = smallTotal != 0 ? smallTotal : Read32(reply, kLargeTotalSectors);
    info.reservedSectors = Read16(reply, kReservedSectors);
    info.hiddenSectors = Read32(reply, kHiddenSectors);
    info.sectorsPerTrack = Read16(reply, kSectorsPerTrack);
    info.heads = Read16(reply, kHeads);
    info.sectorsPerFat = Read16(reply, kSectorsPerFat);
    info.numberOfFats = Read8(reply, kNumberOfFats);
    info.rootEntries = Read16(reply, kRootEntries);
}

void ReadFreeSpace(std::span<const std::uint8_t, 16> reply, FatVolumeInfo& info) {
    info.totalClusters = Read32(reply, kTotalClusters);
    info.freeClusters = Read32(reply, kFreeClusters);
}

}  // namespace velkor::storage
