#pragma once

#include "host/storage/FatParameters.h"

#include <array>
#include <string_view>

namespace velkor::sim {

// device.json's name of each FAT parameter, in the order init writes them and show prints them.
struct FatJsonField {
    std::string_view key;
    const host::FatField& field;
};

inline constexpr std::array<FatJsonField, host::kFatFields.size()> kFatJsonFields{{
    {"bytesPerSector", host::FatFieldOf(&host::FatParameters::bytesPerSector)},
    {"sectorsPerCluster", host::FatFieldOf(&host::FatParameters::sectorsPerCluster)},
    {"reservedSectors", host::FatFieldOf(&host::FatParameters::reservedSectors)},
    {"fats", host::FatFieldOf(&host::FatParameters::fats)},
    {"rootEntries", host::FatFieldOf(&host::FatParameters::rootEntries)},
    {"totalSectors", host::FatFieldOf(&host::FatParameters::totalSectors)},
    {"media", host::FatFieldOf(&host::FatParameters::media)},
    {"sectorsPerFat", host::FatFieldOf(&host::FatParameters::sectorsPerFat)},
    {"sectorsPerTrack", host::FatFieldOf(&host::FatParameters::sectorsPerTrack)},
    {"heads", host::FatFieldOf(&host::FatParameters::heads)},
    {"hiddenSectors", host::FatFieldOf(&host::FatParameters::hiddenSectors)},
}};

}  // namespace velkor::sim
