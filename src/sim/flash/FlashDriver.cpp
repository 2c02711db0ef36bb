#include "sim/flash/FlashDriver.h"

#include "platform/FlashControlCodes.h"
#include "sim/flash/RegionProgrammer.h"

#include <algorithm>

namespace velkor::sim {
namespace {

namespace error = platform::error;

// Image codes take a terminated path and the reset takes nothing; neither declares a size.
bool FollowsInputConvention(const FlashRequest& request, bool takesPath) {
    return request.inputSize == 0 && request.hasInput == takesPath && (!takesPath || request.pathTerminated);
}

template <typename Value>
bool Contains(const std::vector<Value>& values, Value value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

}  // namespace

FlashDriver::FlashDriver(platform::FileSystem& fileSystem, const DeviceConfig& config, std::filesystem::path flashDir,
                         ErrorState& errors)
    : fileSystem_(fileSystem), config_(config), flashDir_(std::move(flashDir)), errors_(errors) {}

bool FlashDriver::Execute(const FlashRequest& request) {
    const FlashRegionInfo* region = FindRegionByCode(request.code);
    const bool reset = request.code == platform::IOCTL_FLASH_RESET;
    if ((!region && !reset) || IsRefused(request.code)) {
        return errors_.Fail(error::kNotSupported);
    }
    if (!FollowsInputConvention(request, region != nullptr)) {
        return errors_.Fail(error::kInvalidParameter);
    }
    return reset || WriteImage(*region, *request.path);
}

bool FlashDriver::IsRefused(std::uint32_t code) const { return Contains(config_.faults.flashRefusedCodes, code); }

bool FlashDriver::IsTooSmall(FlashRegion region) const { return Contains(config_.faults.flashRegionTooSmall, region); }

bool FlashDriver::WriteImage(const FlashRegionInfo& region, std::u16string_view path) {
    const std::unique_ptr<platform::File> image = fileSystem_.OpenFile(path, platform::FileMode::Read);
    if (!image) {
        return false;  // the file system's error is the answer
    }
    if (IsTooSmall(region.region)) {
        return errors_.Fail(error::kDiskFull);
    }
    RegionProgrammer programmer(flashDir_ / RegionFileName(region), config_.flashRegions[region.region],
                                config_.faults.flashReadBackDiffers, errors_);
    return programmer.Program(*image);
}

}  // namespace velkor::sim
