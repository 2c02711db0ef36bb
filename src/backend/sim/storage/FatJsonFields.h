#pragma once

#include "backend/shared/storage/FatParameters.h"

#include <array>
#include <string_view>

namespace velkor::sim {

// device.json's name of each FAT parameter, in the order init writes them and show prints them.
struct FatJsonField {
    std::string_view key;
    const shared::FatField& field;
};

inline constexpr std::array<FatJsonField, shared::kFatFields.size()> kFatJsonFields{{
    {"bytesPerSector", shared::FatFieldOf(&shared::FatParameters::bytesPerSector)},
    {"sectorsPerCluster", shared::FatFieldOf(&shared::FatParameters::sectorsPerCluster)},
    {"reservedSectors", shared::FatFieldOf(&shared::FatParameters::reservedSectors)},
    {"fats", shared::FatFieldOf(&shared::FatParameters::fats)},
    {"rootEntries", shared::FatFieldOf(&shared::FatParameters::rootEntries)},
    {"totalSectors", shared::FatFieldOf(&shared::FatParameters::totalSectors)},
    {"media", shared::FatFieldOf(&shared::FatParameters::media)},
    {"sectorsPerFat", shared::FatFieldOf(&shared::FatParameters::sectorsPerFat)},
    {"sectorsPerTrack", shared::FatFieldOf(&shared::FatParameters::sectorsPerTrack)},
    {"heads", shared::FatFieldOf(&shared::FatParameters::heads)},
    {"hiddenSectors", shared::FatFieldOf(&shared::FatParameters::hiddenSectors)},
}};

}  // namespace velkor::sim
