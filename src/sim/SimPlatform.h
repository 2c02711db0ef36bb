#pragma once

#include "platform/Platform.h"
#include "sim/DeviceConfig.h"
#include "sim/ErrorState.h"
#include "sim/LogFile.h"
#include "sim/SimBitmapLoader.h"
#include "sim/SimDeviceIo.h"
#include "sim/SimFileSystem.h"
#include "sim/SimRegistry.h"
#include "sim/SimSystem.h"
#include "sim/UniqueFd.h"
#include "sim/storage/SimFormatLibrary.h"
#include "sim/storage/SimStorageManager.h"
#include "sim/storage/StorageContext.h"
#include "sim/storage/StorageState.h"
#include "sim/windows/SimWindows.h"

#include <filesystem>
#include <functional>

namespace velkor::sim {

// A simulated device opened from its directory: the platform services the program runs on.
// Opening reads the device and changes nothing; the logs appear with their first line.
class SimPlatform {
public:
    // Throws DeviceError when `deviceDir` is not a usable device. `restartHook` runs when the
    // program asks for a restart.
    explicit SimPlatform(const std::filesystem::path& deviceDir, std::function<void()> restartHook = {});

    SimPlatform(const SimPlatform&) = delete;
    SimPlatform& operator=(const SimPlatform&) = delete;

    platform::Platform& platform() { return platform_; }
    const DeviceConfig& config() const { return config_; }

private:
    DeviceConfig config_;
    ErrorState errors_;
    LogFile debugLog_;
    LogFile events_;
    SimRegistry registry_;
    std::filesystem::path root_;
    UniqueFd rootFolder_;
    StorageState storage_;
    StorageContext storageContext_;
    SimFileSystem fileSystem_;
    SimSystem system_;
    SimDeviceIo deviceIo_;
    SimBitmapLoader bitmapLoader_;
    SimStorageManager storageManager_;
    SimFormatLibrary formatLibrary_;
    SimWindows windows_;
    platform::Platform platform_;
};

}  // namespace velkor::sim
