#pragma once

#include "host/DismountedFolders.h"
#include "host/ErrorState.h"
#include "host/EventLog.h"
#include "host/LogFile.h"
#include "host/QtBitmapLoader.h"
#include "host/TreeRegistry.h"
#include "platform/Platform.h"
#include "target/TargetConfig.h"
#include "target/TargetDeviceIo.h"
#include "target/TargetFileSystem.h"
#include "target/TargetSystem.h"
#include "target/flash/TargetFlashDriver.h"
#include "target/storage/CommandRunner.h"
#include "target/storage/TargetFormatLibrary.h"
#include "target/storage/TargetStorageManager.h"
#include "target/windows/XcbWindows.h"

#include <filesystem>
#include <memory>

namespace velkor::target {

// A real embedded Linux device, as its target file describes it: the platform services the program
// runs on. Opening reads the target file and the registry and changes nothing on the device; the
// logs appear with their first line.
class TargetPlatform {
public:
    // Throws host::DeviceError when the target file or its registry cannot be read, or a folder it
    // names does not exist.
    explicit TargetPlatform(const std::filesystem::path& targetFile);

    TargetPlatform(const TargetPlatform&) = delete;
    TargetPlatform& operator=(const TargetPlatform&) = delete;

    platform::Platform& platform() { return platform_; }
    const TargetConfig& config() const { return config_; }

private:
    TargetConfig config_;
    host::ErrorState errors_;
    std::unique_ptr<host::LogFile> debugLog_;
    host::EventLog events_;
    host::TreeRegistry registry_;
    host::DismountedFolders dismounted_;
    TargetFileSystem fileSystem_;
    CommandRunner commands_;
    TargetSystem system_;
    TargetFlashDriver flash_;
    TargetStorageManager storageManager_;
    TargetDeviceIo deviceIo_;
    host::QtBitmapLoader bitmapLoader_;
    TargetFormatLibrary formatLibrary_;
    XcbWindows windows_;
    platform::Platform platform_;
};

}  // namespace velkor::target
