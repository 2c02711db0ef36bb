#include "backend/board/flash/TargetFlashDriver.h"

#include "backend/shared/flash/FlashHandle.h"
#include "backend/shared/flash/RegionWriter.h"
#include "backend/board/flash/RegionDevice.h"
#include "backend/shared/DeviceFile.h"
#include "backend/shared/ErrnoErrors.h"

#include <fcntl.h>

#include <cerrno>

namespace velkor::board {
namespace {

namespace error = platform::error;

static_assert(std::tuple_size_v<FlashRegionTargets> == shared::kFlashRegions.size());

// The device's reset restarts its flash controller; a host's block devices have none to restart.
constexpr std::string_view kResetLine = "IOCTL_FLASH_RESET: no flash controller to reset";

}  // namespace

TargetFlashDriver::TargetFlashDriver(const FlashRegionTargets& regions, const FlashRegionTargets& secondSlots,
                                     shared::SlotSwitch& slotSwitch, platform::FileSystem& fileSystem,
                                     shared::CardApproval& approval, shared::ErrorState& errors,
                                     shared::EventLog& events, std::function<void(std::string_view)> debugLine)
    : regions_(regions),
      secondSlots_(secondSlots),
      slotSwitch_(&slotSwitch),
      fileSystem_(fileSystem),
      approval_(approval),
      errors_(errors),
      events_(events),
      debugLine_(std::move(debugLine)) {}

TargetFlashDriver::TargetFlashDriver(const FlashRegionTargets& regions, platform::FileSystem& fileSystem,
                                     shared::CardApproval& approval, shared::ErrorState& errors,
                                     shared::EventLog& events, std::function<void(std::string_view)> debugLine)
    : regions_(regions),
      slotSwitch_(nullptr),
      fileSystem_(fileSystem),
      approval_(approval),
      errors_(errors),
      events_(events),
      debugLine_(std::move(debugLine)) {}

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
    std::unique_ptr<platform::File> file = fileSystem_.OpenFile(path, platform::FileMode::Read);
    if (!file) {
        return false;  // the file system's error is the answer
    }
    shared::ImageToWrite image(std::u16string(path), std::move(file), approval_);
    if (!image.IsTheCheckedFile(errors_, debugLine_)) {
        return false;
    }
    const bool written = slotSwitch_ && slotSwitch_->Group().Contains(region.region)
                             ? WriteIntoSlot(region, image)
                             : WriteInPlace(regions_[static_cast<std::size_t>(region.region)], image, true);
    return image.Finish(written, debugLine_);
}

bool TargetFlashDriver::WriteInPlace(const std::filesystem::path& target, shared::ImageToWrite& image, bool privately) {
    const std::optional<RegionDevice> device = RegionDevice::Open(target, errors_);
    if (!device) {
        return false;
    }
    if (image.Bytes().Length() > device->Capacity()) {
        return errors_.Fail(error::kDiskFull);
    }
    if (privately && !image.KeepPrivately(errors_)) {
        return false;
    }
    shared::RegionWriter writer(device->Descriptor(), device->Capacity(), errors_, {}, image.Expectation());
    const std::optional<std::uint64_t> length = writer.Write(image.Bytes());
    return length && writer.Verify(image.Bytes(), *length);
}

std::optional<std::uint64_t> TargetFlashDriver::RegionBytes(std::uint32_t controlCode) const {
    const shared::FlashRegionInfo* region = shared::FindRegionByCode(controlCode);
    const std::optional<BlockDeviceInfo> target =
        region ? ExaminePath(regions_[static_cast<std::size_t>(region->region)]) : std::nullopt;
    return target && target->kind != PathKind::Missing ? std::optional(target->sizeBytes) : std::nullopt;
}

bool TargetFlashDriver::WriteIntoSlot(const shared::FlashRegionInfo& region, shared::ImageToWrite& image) {
    // Both slots are of one size, which the platform checked when it started.
    const std::optional<BlockDeviceInfo> slot = ExaminePath(SlotPath(region, shared::Slot::A));
    if (!slot) {
        return errors_.Fail(shared::DeviceErrorFromErrno(errno));
    }
    if (image.Bytes().Length() > slot->sizeBytes) {
        return errors_.Fail(error::kDiskFull);
    }
    const std::optional<shared::Slot> target = slotSwitch_->PrepareWrite(region);
    if (!target) {
        return false;
    }
    const bool written = WriteInPlace(SlotPath(region, *target), image, false);
    slotSwitch_->Written(region, written);
    return written;
}

bool TargetFlashDriver::CommitUpdate(const shared::BootVariables& alsoStored) {
    if (!slotSwitch_) {
        return true;
    }
    return slotSwitch_->Commit(
        [this](const shared::FlashRegionInfo& region, shared::Slot from, shared::Slot to) {
            return CopySlot(region, from, to);
        },
        alsoStored);
}

bool TargetFlashDriver::CopySlot(const shared::FlashRegionInfo& region, shared::Slot from, shared::Slot to) {
    // The booted slot may hold the running system: it is only read, never claimed.
    shared::UniqueFd source(::open(SlotPath(region, from).c_str(), O_RDONLY | O_CLOEXEC));
    if (!source.IsValid()) {
        return errors_.Fail(shared::DeviceErrorFromErrno(errno));
    }
    shared::ImageToWrite image(std::make_unique<shared::DeviceFile>(std::move(source), errors_));
    return WriteInPlace(SlotPath(region, to), image, false);
}

const std::filesystem::path& TargetFlashDriver::SlotPath(const shared::FlashRegionInfo& region,
                                                        shared::Slot slot) const {
    const auto index = static_cast<std::size_t>(region.region);
    return slot == shared::Slot::A ? regions_[index] : secondSlots_[index];
}

}  // namespace velkor::board
