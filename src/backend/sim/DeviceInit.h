#pragma once

#include "backend/shared/storage/FatParameters.h"
#include "platform/System.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace velkor::sim {

struct DeviceOptions {
    // Puts the sample images into the storage card's AutoUpdate folder instead of Images.
    bool autoUpdate = false;
    platform::ScreenSize screen{800, 480};
    std::uint16_t languageId = 0x0409;
};

// The FAT12 volume of each flash store of a new device: 16000 sectors of 512 bytes in clusters
// of 4 sectors, 2 FATs sized as a formatter sizes them, 512 root entries, media 0xF8, 32 sectors
// a track and 2 heads.
inline constexpr std::uint32_t kNewVolumeFatBits = 12;
shared::FatParameters NewFlashVolume();

// Makes a working device in `dir`: device.json with the two flash stores and two programs beside
// the updater, platform.reg with the storage-manager profiles of a storage card and the flash
// stores, and a file system holding sample images and logos.
// Throws shared::DeviceError when `dir` exists and is not empty, cannot be written, or the screen
// size is out of range.
void InitDevice(const std::filesystem::path& dir, const DeviceOptions& options);

// platform.reg of a new device: the storage-manager profiles of the storage card (\StorageCard)
// and of the flash stores (\NandFlash, and \VKRFlash for the data volume). A real device's
// registry takes the same.
std::string RegistryText();

}  // namespace velkor::sim
