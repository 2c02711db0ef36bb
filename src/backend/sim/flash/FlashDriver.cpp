#include "backend/sim/flash/FlashDriver.h"

#include "backend/sim/flash/RegionProgrammer.h"

#include <algorithm>

namespace velkor::sim {
namespace {

namespace error = platform::error;

template <typename Value>
bool Contains(const std::vector<Value>& values, Value value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

}  // namespace

FlashDriver::FlashDriver(platform::FileSystem& fileSystem, const DeviceConfig& config, std::filesystem::path flashDir,
                         shared::ErrorState& errors)
    : fileSystem_(fileSystem), config_(config), flashDir_(std::move(flashDir)), errors_(errors) {}

bool FlashDriver::Execute(const shared::FlashRequest& request) {
    if (IsRefused(request.code)) {
        return errors_.Fail(error::kNotSupported);
    }
    const std::uint32_t refusal = request.Check();
    if (refusal != error::kSuccess) {
        return errors_.Fail(refusal);
    }
    const shared::FlashRegionInfo* region = shared::FindRegionByCode(request.code);
    return !region || WriteImage(*region, *request.path);  // no region: the reset
}

bool FlashDriver::IsRefused(std::uint32_t code) const { return Contains(config_.faults.flashRefusedCodes, code); }

bool FlashDriver::IsTooSmall(shared::FlashRegion region) const {
    return Contains(config_.faults.flashRegionTooSmall, region);
}

bool FlashDriver::WriteImage(const shared::FlashRegionInfo& region, std::u16string_view path) {
    const std::unique_ptr<platform::File> image = fileSystem_.OpenFile(path, platform::FileMode::Read);
    if (!image) {
        return false;  // the file system's error is the answer
    }
    if (IsTooSmall(region.region)) {
        return errors_.Fail(error::kDiskFull);
    }
    RegionProgrammer programmer(flashDir_ / shared::RegionFileName(region), config_.flashRegions[region.region],
                                config_.faults.flashReadBackDiffers, errors_);
    return programmer.Program(*image);
}

}  // namespace velkor::sim
