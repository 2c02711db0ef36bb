#include "backend/board/flash/TargetFlashDriver.h"

#include "backend/shared/flash/FlashHandle.h"
#include "backend/shared/flash/RegionWriter.h"
#include "backend/board/flash/RegionDevice.h"

namespace velkor::board {
namespace {

namespace error = platform::error;

static_assert(std::tuple_size_v<FlashRegionTargets> == shared::kFlashRegions.size());

// The device's reset restarts its flash controller; a host's block devices have none to restart.
constexpr std::string_view kResetLine = "IOCTL_FLASH_RESET: no flash controller to reset";

}  // namespace

TargetFlashDriver::TargetFlashDriver(const FlashRegionTargets& regions, platform::FileSystem& fileSystem,
                                     shared::ErrorState& errors, shared::EventLog& events,
                                     std::function<void(std::string_view)> debugLine)
    : regions_(regions), fileSystem_(fileSystem), errors_(errors), events_(events), debugLine_(std::move(debugLine)) {}

std::unique_ptr<platform::DeviceHandle> TargetFlashDriver::Open(std::u16string openedName) {
    if (claimed_) {
        errors_.Fail(error::kSharingViolation);
        return nullptr;
    }
    return std::make_unique<shared::FlashHandle>(std::move(openedName), *this, errors_, events_, claimed_);
}

bool TargetFlashDriver::Execute(const shared::FlashRequest& request) {
    const std::uint32_t refusal = request.Check();
    if (refusal != error::kSuccess) {
        return errors_.Fail(refusal);
    }
    const shared::FlashRegionInfo* region = shared::FindRegionByCode(request.code);
    if (!region) {
        debugLine_(kResetLine);
        return true;
    }
    return WriteImage(*region, *request.path);
}

bool TargetFlashDriver::WriteImage(const shared::FlashRegionInfo& region, std::u16string_view path) {
    const std::unique_ptr<platform::File> image = fileSystem_.OpenFile(path, platform::FileMode::Read);
    if (!image) {
        return false;  // the file system's error is the answer
    }
    const std::optional<RegionDevice> device =
        RegionDevice::Open(regions_[static_cast<std::size_t>(region.region)], errors_);
    if (!device) {
        return false;
    }
    if (image->Length() > device->Capacity()) {
        return errors_.Fail(error::kDiskFull);
    }
    shared::RegionWriter writer(device->Descriptor(), device->Capacity(), errors_);
    const std::optional<std::uint64_t> length = writer.Write(*image);
    return length && writer.Verify(*image, *length);
}

}  // namespace velkor::board
