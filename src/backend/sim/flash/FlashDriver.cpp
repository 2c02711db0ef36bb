#include "backend/sim/flash/FlashDriver.h"

#include "backend/shared/DeviceFile.h"
#include "backend/shared/ErrnoErrors.h"
#include "backend/shared/PlainFile.h"
#include "backend/shared/slots/UpdateStartCheck.h"

#include <fcntl.h>

#include <cerrno>

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
                         shared::SlotSwitch& slotSwitch, PowerCut& powerCut, shared::CardApproval& approval,
                         std::function<void(std::string_view)> debugLine, shared::ErrorState& errors)
    : fileSystem_(fileSystem),
      config_(config),
      flashDir_(std::move(flashDir)),
      slots_(slotSwitch),
      powerCut_(powerCut),
      approval_(approval),
      debugLine_(std::move(debugLine)),
      errors_(errors) {}

bool FlashDriver::Execute(const shared::FlashRequest& request) {
    if (IsRefused(request.code)) {
        return errors_.Fail(error::kNotSupported);
    }
    const std::uint32_t refusal = request.Check();
    if (refusal != error::kSuccess) {
        return errors_.Fail(refusal);
    }
    const shared::FlashRegionInfo* region = shared::FindRegionByCode(request.code);
    if (!region) {
        return true;  // the reset
    }
    return WriteImage(*region, *request.path);
}

bool FlashDriver::IsRefused(std::uint32_t code) const { return Contains(config_.faults.flashRefusedCodes, code); }

bool FlashDriver::IsTooSmall(shared::FlashRegion region) const {
    return Contains(config_.faults.flashRegionTooSmall, region);
}

bool FlashDriver::WriteImage(const shared::FlashRegionInfo& region, std::u16string_view path) {
    if (config_.flashRegions[region.region] == 0) {
        debugLine_(shared::NoRegionLine(region));
        return errors_.Fail(error::kNotSupported);
    }
    std::unique_ptr<platform::File> file = fileSystem_.OpenFile(path, platform::FileMode::Read);
    if (!file) {
        return false;  // the file system's error is the answer
    }
    if (IsTooSmall(region.region)) {
        return errors_.Fail(error::kDiskFull);
    }
    shared::ImageToWrite image(std::u16string(path), std::move(file), approval_);
    if (!image.IsTheCheckedFile(errors_, debugLine_)) {
        return false;
    }
    const bool written =
        config_.slotGroup.Contains(region.region) ? WriteIntoSlot(region, image) : WriteInPlace(region, image);
    return image.Finish(written, debugLine_);
}

bool FlashDriver::WriteInPlace(const shared::FlashRegionInfo& region, shared::ImageToWrite& image) {
    // An image larger than the region is refused before a private copy of it is made.
    if (image.Bytes().Length() > config_.flashRegions[region.region]) {
        return errors_.Fail(error::kDiskFull);
    }
    if (!image.KeepPrivately(errors_) || !approval_.BeforeInPlaceWrite()) {
        return false;
    }
    return Programmer(region, shared::RegionFileName(region)).Program(image.Bytes(), image.Expectation());
}

bool FlashDriver::WriteIntoSlot(const shared::FlashRegionInfo& region, shared::ImageToWrite& image) {
    if (image.Bytes().Length() > config_.flashRegions[region.region]) {
        return errors_.Fail(error::kDiskFull);
    }
    const std::optional<shared::Slot> slot = slots_.PrepareWrite(region, approval_.CarriedRegions());
    if (!slot) {
        return false;
    }
    const bool written = Programmer(region, shared::SlotFileName(region, shared::SlotLetter(*slot)))
                             .Program(image.Bytes(), image.Expectation());
    slots_.Written(region, written);
    return written;
}

void FlashDriver::ImageFailed(std::uint32_t controlCode) {
    const shared::FlashRegionInfo* region = shared::FindRegionByCode(controlCode);
    if (region && config_.slotGroup.Contains(region->region)) {
        slots_.Failed(*region);
    }
}

bool FlashDriver::CommitUpdate(const shared::BootVariables& alsoStored, bool wholeUpdate) {
    return slots_.Commit(
        [this](const shared::FlashRegionInfo& region, shared::Slot from, shared::Slot to) {
            return CopySlot(region, from, to);
        },
        alsoStored, wholeUpdate);
}

platform::UpdateStart FlashDriver::StartUpdate(bool unattended, shared::ReleaseRecord& record) {
    const auto slotPath = [this](const shared::FlashRegionInfo& region, shared::Slot slot) {
        return SlotPath(region, slot);
    };
    return shared::UpdateStartCheck(slots_, record, approval_, fileSystem_, slotPath, errors_, debugLine_)
        .Check(unattended);
}

bool FlashDriver::CopySlot(const shared::FlashRegionInfo& region, shared::Slot from, shared::Slot to) {
    shared::UniqueFd fd = shared::OpenPlainFile(AT_FDCWD, SlotPath(region, from).c_str(), O_RDONLY);
    if (!fd.IsValid()) {
        return errors_.Fail(shared::DeviceErrorFromErrno(errno));
    }
    shared::DeviceFile image(std::move(fd), errors_);
    return Programmer(region, shared::SlotFileName(region, shared::SlotLetter(to))).Program(image);
}

std::filesystem::path FlashDriver::SlotPath(const shared::FlashRegionInfo& region, shared::Slot slot) const {
    return flashDir_ / shared::SlotFileName(region, shared::SlotLetter(slot));
}

RegionProgrammer FlashDriver::Programmer(const shared::FlashRegionInfo& region, const std::string& fileName) {
    return RegionProgrammer(flashDir_ / fileName, config_.flashRegions[region.region],
                            config_.faults.flashReadBackDiffers, powerCut_, errors_);
}

}  // namespace velkor::sim
