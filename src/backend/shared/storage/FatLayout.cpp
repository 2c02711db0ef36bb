#include "backend/shared/storage/FatLayout.h"

#include <algorithm>
#include <array>
#include <utility>

namespace velkor::shared {
namespace {

// The first two entries of every FAT describe the medium, not clusters.
constexpr std::uint64_t kReservedFatEntries = 2;

constexpr int kMaxSizingSteps = 64;

constexpr std::array<FatVersion, 3> kFatVersions{{
    {12, 1, 4084},
    {16, 4085, 65524},
    {32, 65525, 0xFFFFFFFF},
}};

std::uint64_t DivideRoundingUp(std::uint64_t dividend, std::uint64_t divisor) {
    return (dividend + divisor - 1) / divisor;
}

std::uint64_t DataClusters(const FatParameters& fat, std::uint64_t sectorsPerFat) {
    const std::uint64_t otherSectors =
        std::uint64_t{fat.reservedSectors} + fat.fats * sectorsPerFat + RootFolderSectors(fat);
    return fat.totalSectors > otherSectors ? (fat.totalSectors - otherSectors) / fat.sectorsPerCluster : 0;
}

std::uint64_t FatSectorsFor(const FatParameters& fat, std::uint64_t clusters, std::uint32_t fatBits) {
    const std::uint64_t fatBytes = DivideRoundingUp((clusters + kReservedFatEntries) * fatBits, 8);
    return DivideRoundingUp(fatBytes, fat.bytesPerSector);
}

}  // namespace

const FatVersion* FindFatVersion(std::uint32_t bits) {
    const auto found = std::find_if(kFatVersions.begin(), kFatVersions.end(),
                                    [&](const FatVersion& version) { return version.bits == bits; });
    return found != kFatVersions.end() ? &*found : nullptr;
}

std::uint32_t ClusterBytes(const FatParameters& fat) { return fat.sectorsPerCluster * fat.bytesPerSector; }

std::uint32_t RootFolderSectors(const FatParameters& fat) {
    return static_cast<std::uint32_t>(
        DivideRoundingUp(std::uint64_t{fat.rootEntries} * kDirectoryEntryBytes, fat.bytesPerSector));
}

std::uint32_t DataClusters(const FatParameters& fat) {
    return static_cast<std::uint32_t>(DataClusters(fat, fat.sectorsPerFat));
}

std::uint64_t FormatterSectorsPerFat(const FatParameters& fat, std::uint32_t fatBits) {
    // A larger FAT leaves fewer clusters, which need a smaller FAT: the sizes alternate, the smaller
    // ones growing and the larger ones shrinking, towards a size that stays or a pair. The larger
    // of a pair always holds the clusters it leaves, so it is the answer when no size stays, and
    // also when a volume of odd parameters would take long to settle.
    std::uint64_t previous = 0;
    std::uint64_t current = FatSectorsFor(fat, DataClusters(fat, previous), fatBits);
    for (int step = 0; step < kMaxSizingSteps; ++step) {
        const std::uint64_t next = FatSectorsFor(fat, DataClusters(fat, current), fatBits);
        if (next == current || next == previous) {
            return std::max(current, next);
        }
        previous = std::exchange(current, next);
    }
    return std::max(previous, current);
}

}  // namespace velkor::shared
