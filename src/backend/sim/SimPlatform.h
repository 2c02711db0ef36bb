#pragma once

#include "backend/shared/CardApproval.h"
#include "backend/shared/CheckedCopyFileSystem.h"
#include "backend/shared/DeviceTrustService.h"
#include "backend/shared/ReleaseRecord.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "backend/shared/FolderFileSystem.h"
#include "backend/shared/LogFile.h"
#include "backend/shared/QtBitmapLoader.h"
#include "backend/shared/RegistryService.h"
#include "backend/shared/UniqueFd.h"
#include "platform/Platform.h"
#include "backend/sim/DeviceConfig.h"
#include "backend/shared/slots/SlotSwitch.h"
#include "backend/shared/slots/UbootEnvironment.h"
#include "backend/sim/ChangedCardTrust.h"
#include "backend/sim/PowerCut.h"
#include "backend/sim/PowerCutEnvironment.h"
#include "backend/sim/PowerCutFileSystem.h"
#include "backend/sim/SimDeviceIo.h"
#include "backend/sim/SimFileSystem.h"
#include "backend/sim/SimRegistry.h"
#include "backend/sim/SimSystem.h"
#include "backend/sim/storage/SimFormatLibrary.h"
#include "backend/sim/storage/SimStorageManager.h"
#include "backend/sim/storage/StorageContext.h"
#include "backend/sim/storage/StorageState.h"
#include "backend/sim/windows/SimWindows.h"

#include <filesystem>
#include <functional>

namespace velkor::sim {

// A simulated device opened from its directory: the platform services the program runs on.
// Opening reads the device and changes nothing; the logs appear with their first line.
class SimPlatform {
public:
    // Throws shared::DeviceError when `deviceDir` is not a usable device. `restartHook` runs when the
    // program asks for a restart.
    explicit SimPlatform(const std::filesystem::path& deviceDir, std::function<void()> restartHook = {});

    SimPlatform(const SimPlatform&) = delete;
    SimPlatform& operator=(const SimPlatform&) = delete;

    platform::Platform& platform() { return platform_; }
    const DeviceConfig& config() const { return config_; }

private:
    void DebugLine(std::string_view line);

    DeviceConfig config_;
    shared::ErrorState errors_;
    shared::LogFile debugLog_;
    shared::EventLog events_;
    PowerCut powerCut_;
    shared::UbootEnvironment environment_;
    PowerCutEnvironment cutEnvironment_;
    shared::SlotSwitch slotSwitch_;
    shared::CardApproval approval_;
    shared::ReleaseRecord releaseRecord_;
    shared::RegistryService registryService_;
    SimRegistry registry_;
    std::filesystem::path root_;
    shared::UniqueFd rootFolder_;
    StorageState storage_;
    StorageContext storageContext_;
    shared::FolderFileSystem folderFiles_;
    SimFileSystem fileSystem_;
    PowerCutFileSystem cutFileSystem_;
    shared::CheckedCopyFileSystem checkedFileSystem_;
    SimSystem system_;
    SimDeviceIo deviceIo_;
    shared::QtBitmapLoader bitmapLoader_;
    SimStorageManager storageManager_;
    SimFormatLibrary formatLibrary_;
    SimWindows windows_;
    shared::DeviceTrustService trust_;
    ChangedCardTrust changedCardTrust_;
    platform::Platform platform_;
};

}  // namespace velkor::sim
