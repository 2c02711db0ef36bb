#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "backend/shared/flash/FlashExecutor.h"
#include "backend/shared/flash/FlashRegion.h"
#include "platform/DeviceIo.h"
#include "platform/FileSystem.h"
#include "backend/board/TargetConfig.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace velkor::board {

// The flash driver of a real device: each image code writes an image file of the device's file
// system into the block device or file the target file names for its region, and the reset does
// nothing but say so on the debug output.
class TargetFlashDriver : public shared::FlashExecutor {
public:
    // `debugLine` writes one line of the platform's debug output.
    TargetFlashDriver(const FlashRegionTargets& regions, platform::FileSystem& fileSystem, shared::ErrorState& errors,
                      shared::EventLog& events, std::function<void(std::string_view)> debugLine);

    TargetFlashDriver(const TargetFlashDriver&) = delete;
    TargetFlashDriver& operator=(const TargetFlashDriver&) = delete;

    // The driver's device, one handle at a time: null with kSharingViolation while a handle is
    // open. `openedName` is the name as the program gave it, for events.log. The handle must not
    // outlive the driver.
    std::unique_ptr<platform::DeviceHandle> Open(std::u16string openedName);

    // False, with the last error set, when the request was not carried out: what
    // FlashRequest::Check answers, the file system's code when the image cannot be read, what
    // RegionDevice::Open refuses, kDiskFull for an image larger than its region (nothing is
    // written then), kCrc when the region does not read back as the image.
    bool Execute(const shared::FlashRequest& request) override;

private:
    bool WriteImage(const shared::FlashRegionInfo& region, std::u16string_view path);

    FlashRegionTargets regions_;
    platform::FileSystem& fileSystem_;
    shared::ErrorState& errors_;
    shared::EventLog& events_;
    std::function<void(std::string_view)> debugLine_;
    bool claimed_ = false;
};

}  // namespace velkor::board
