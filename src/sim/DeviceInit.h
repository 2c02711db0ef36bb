#pragma once

#include "platform/System.h"

#include <cstdint>
#include <filesystem>

namespace velkor::sim {

struct DeviceOptions {
    // Puts the sample images into the storage card's AutoUpdate folder instead of Images.
    bool autoUpdate = false;
    platform::ScreenSize screen{800, 480};
    std::uint16_t languageId = 0x0409;
};

// Makes a working device in `dir`: device.json with two programs beside the updater,
// platform.reg with the storage-manager profiles of a storage card and two flash stores, and a
// file system holding sample images and logos.
// Throws DeviceError when `dir` exists and is not empty, cannot be written, or the screen
// size is out of range.
void InitDevice(const std::filesystem::path& dir, const DeviceOptions& options);

}  // namespace velkor::sim
