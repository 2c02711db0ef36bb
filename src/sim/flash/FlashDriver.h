#pragma once

#include "platform/FileSystem.h"
#include "sim/DeviceConfig.h"
#include "sim/ErrorState.h"
#include "sim/flash/FlashRegion.h"
#include "sim/flash/FlashRequest.h"

#include <filesystem>
#include <string_view>

namespace velkor::sim {

// Carries out the flash driver's control codes: each image code writes an image file of the
// device's file system into its region in DIR/flash, and the reset does nothing beyond being
// asked for. The fault switches of device.json apply.
class FlashDriver {
public:
    FlashDriver(platform::FileSystem& fileSystem, const DeviceConfig& config, std::filesystem::path flashDir,
                ErrorState& errors);

    // False, with the last error set, when the request was not carried out: kNotSupported for a
    // code the driver does not take, kInvalidParameter for input against the code's convention,
    // or why the image could not be programmed.
    bool Execute(const FlashRequest& request);

private:
    bool IsRefused(std::uint32_t code) const;
    bool IsTooSmall(FlashRegion region) const;
    bool WriteImage(const FlashRegionInfo& region, std::u16string_view path);

    platform::FileSystem& fileSystem_;
    const DeviceConfig& config_;
    std::filesystem::path flashDir_;
    ErrorState& errors_;
};

}  // namespace velkor::sim
