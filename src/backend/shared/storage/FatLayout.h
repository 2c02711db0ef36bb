#pragma once

#include "backend/shared/storage/FatParameters.h"

#include <cstdint>

namespace velkor::shared {

// How a FAT volume's sectors divide into reserved sectors, FATs, the root folder and clusters,
// computed as a FAT formatter and driver compute them.

inline constexpr std::uint32_t kDirectoryEntryBytes = 32;

// The cluster counts a FAT of so many bits per entry addresses.
struct FatVersion {
    std::uint32_t bits;
    std::uint32_t minClusters;
    std::uint32_t maxClusters;
};

// Null unless `bits` is 12, 16 or 32.
const FatVersion* FindFatVersion(std::uint32_t bits);

std::uint32_t ClusterBytes(const FatParameters& fat);
// The root folder's sectors, a last partly used sector included.
std::uint32_t RootFolderSectors(const FatParameters& fat);
// The clusters left for files and folders; 0 when the other areas take every sector.
std::uint32_t DataClusters(const FatParameters& fat);
// The sectors each FAT needs to hold an entry of `fatBits` for every cluster of the volume and the
// two reserved entries, `fat.sectorsPerFat` aside: as the FATs take sectors from the clusters,
// the size is recomputed until it stays the same.
std::uint64_t FormatterSectorsPerFat(const FatParameters& fat, std::uint32_t fatBits);

}  // namespace velkor::shared
