#pragma once

#include "backend/board/TargetPlatform.h"
#include "backend/shared/DeviceLock.h"
#include "backend/sim/SimPlatform.h"
#include "platform/Platform.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::device_tool {

// Where a command drives a device: a simulated device's directory or a real device's target file.
struct DeviceChoice {
    std::optional<std::filesystem::path> device;
    std::optional<std::filesystem::path> target;
};

// The platform of the device a command drives, simulated or real, opened as the operator's program
// opens it, with the lock the operator's program also takes while it runs.
class DrivenDevice {
public:
    // Throws shared::DeviceError when the device cannot be used or another program drives it.
    explicit DrivenDevice(const DeviceChoice& choice);

    platform::Platform& Platform();
    // How the commands' messages name the device: its directory or its target file.
    const std::filesystem::path& Name() const { return name_; }
    // The host folder that the device's top-level folder `folder` ("\StorageCard") is; nothing
    // when the device has no such folder.
    std::optional<std::filesystem::path> HostFolder(std::u16string_view folder) const;

private:
    std::filesystem::path name_;
    std::unique_ptr<sim::SimPlatform> simulated_;
    std::unique_ptr<board::TargetPlatform> real_;
    shared::DeviceLock lock_;
};

}  // namespace velkor::device_tool
