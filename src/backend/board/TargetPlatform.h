#pragma once

#include "backend/shared/CardApproval.h"
#include "backend/shared/CheckedCopyFileSystem.h"
#include "backend/shared/DeviceTrustService.h"
#include "backend/shared/ReleaseRecord.h"
#include "backend/shared/DismountedFolders.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "backend/shared/LogFile.h"
#include "backend/shared/QtBitmapLoader.h"
#include "backend/shared/RegistryService.h"
#include "backend/shared/slots/SlotSwitch.h"
#include "backend/shared/slots/UbootEnvironment.h"
#include "platform/Platform.h"
#include "backend/board/TargetConfig.h"
#include "backend/board/TargetDeviceIo.h"
#include "backend/board/TargetFileSystem.h"
#include "backend/board/TargetSystem.h"
#include "backend/board/flash/TargetFlashDriver.h"
#include "backend/board/storage/CommandRunner.h"
#include "backend/board/storage/TargetFormatLibrary.h"
#include "backend/board/storage/TargetStorageManager.h"
#include "backend/board/windows/XcbWindows.h"

#include <filesystem>
#include <memory>

namespace velkor::board {

// A real embedded Linux device, as its target file describes it: the platform services the program
// runs on. Opening reads the target file and the registry and changes nothing on the device; the
// logs appear with their first line.
class TargetPlatform {
public:
    // Throws shared::DeviceError when the target file or its registry cannot be read, or a folder it
    // names does not exist.
    explicit TargetPlatform(const std::filesystem::path& targetFile);

    TargetPlatform(const TargetPlatform&) = delete;
    TargetPlatform& operator=(const TargetPlatform&) = delete;

    platform::Platform& platform() { return platform_; }
    const TargetConfig& config() const { return config_; }

private:
    void DebugLine(std::string_view line);

    TargetConfig config_;
    shared::ErrorState errors_;
    std::unique_ptr<shared::LogFile> debugLog_;
    shared::EventLog events_;
    shared::RegistryService registry_;
    shared::DismountedFolders dismounted_;
    TargetFileSystem fileSystem_;
    shared::CardApproval approval_;
    shared::CheckedCopyFileSystem checkedFileSystem_;
    CommandRunner commands_;
    TargetSystem system_;
    shared::UbootEnvironment environment_;
    shared::SlotSwitch slotSwitch_;
    shared::ReleaseRecord releaseRecord_;
    TargetFlashDriver flash_;
    TargetStorageManager storageManager_;
    TargetDeviceIo deviceIo_;
    shared::QtBitmapLoader bitmapLoader_;
    TargetFormatLibrary formatLibrary_;
    XcbWindows windows_;
    shared::DeviceTrustService trust_;
    platform::Platform platform_;
};

}  // namespace velkor::board
