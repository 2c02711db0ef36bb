#pragma once

#include "host/ErrorState.h"
#include "host/EventLog.h"
#include "host/FolderFileSystem.h"
#include "host/LogFile.h"
#include "host/QtBitmapLoader.h"
#include "host/TreeRegistry.h"
#include "host/UniqueFd.h"
#include "platform/Platform.h"
#include "sim/DeviceConfig.h"
#include "sim/SimDeviceIo.h"
#include "sim/SimSystem.h"
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
    // Throws host::DeviceError when `deviceDir` is not a usable device. `restartHook` runs when the
    // program asks for a restart.
    explicit SimPlatform(const std::filesystem::path& deviceDir, std::function<void()> restartHook = {});

    SimPlatform(const SimPlatform&) = delete;
    SimPlatform& operator=(const SimPlatform&) = delete;

    platform::Platform& platform() { return platform_; }
    const DeviceConfig& config() const { return config_; }

private:
    DeviceConfig config_;
    host::ErrorState errors_;
    host::LogFile debugLog_;
    host::EventLog events_;
    host::TreeRegistry registry_;
    std::filesystem::path root_;
    host::UniqueFd rootFolder_;
    StorageState storage_;
    StorageContext storageContext_;
    host::FolderFileSystem fileSystem_;
    SimSystem system_;
    SimDeviceIo deviceIo_;
    host::QtBitmapLoader bitmapLoader_;
    SimStorageManager storageManager_;
    SimFormatLibrary formatLibrary_;
    SimWindows windows_;
    platform::Platform platform_;
};

}  // namespace velkor::sim
