#include "backend/board/flash/TargetFlashDriver.h"

#include "backend/shared/flash/FlashHandle.h"
#include "backend/shared/flash/DirectMedium.h"
#include "backend/shared/slots/UpdateStartCheck.h"
#include "backend/shared/flash/RegionWriter.h"
#include "backend/board/flash/MountTable.h"
#include "backend/board/flash/RegionDevice.h"
#include "backend/shared/DeviceFile.h"
#include "backend/shared/ErrnoErrors.h"
#include "platform/OverlappedReads.h"

#include <fcntl.h>

#include <cerrno>

#include <algorithm>
#include <array>

#include <fmt/format.h>

namespace velkor::board {
namespace {

namespace error = platform::error;

static_assert(std::tuple_size_v<FlashRegionTargets> == shared::kFlashRegions.size());

// The device's reset restarts its flash controller; a host's block devices have none to restart.
constexpr std::string_view kResetLine = "IOCTL_FLASH_RESET: no flash controller to reset";
// Whole chunks, so that each request's digests continue the last one's.
constexpr std::size_t kRecheckRequestBytes = 8 * shared::kDigestedChunkBytes;

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
    if (regions_[static_cast<std::size_t>(region.region)].empty()) {
        debugLine_(shared::NoRegionLine(region));
        return errors_.Fail(error::kNotSupported);
    }
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

bool TargetFlashDriver::WriteInPlace(const std::filesystem::path& target, shared::ImageToWrite& image, bool privately,
                                     WrittenSlot* written) {
    const std::optional<RegionDevice> device = RegionDevice::Open(target, errors_);
    if (!device) {
        return false;
    }
    if (image.Bytes().Length() > device->Capacity()) {
        return errors_.Fail(error::kDiskFull);
    }
    // A private copy is made only for a row written in place, whose first byte raises a one-slot record.
    if (privately && (!image.KeepPrivately(errors_) || !approval_.BeforeInPlaceWrite())) {
        return false;
    }
    shared::RegionWriter writer(device->Descriptor(), device->Capacity(), errors_, {}, image.Expectation());
    const std::optional<std::uint64_t> length = writer.Write(image.Bytes());
    if (!length || !writer.Verify(*length)) {
        return false;
    }
    if (written) {
        written->length = *length;
        written->chunks = writer.ImageChunks();
    }
    return true;
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
    const std::optional<shared::Slot> target = slotSwitch_->PrepareWrite(region, approval_.CarriedRegions());
    if (!target) {
        return false;
    }
    WrittenSlot writtenSlot{*target, 0, {}};
    const bool written = WriteInPlace(SlotPath(region, *target), image, false, &writtenSlot);
    slotSwitch_->Written(region, written);
    if (written) {
        writtenSlots_[static_cast<std::size_t>(region.region)] = std::move(writtenSlot);
    }
    return written;
}

void TargetFlashDriver::ImageFailed(std::uint32_t controlCode) {
    const shared::FlashRegionInfo* region = shared::FindRegionByCode(controlCode);
    if (slotSwitch_ && region && slotSwitch_->Group().Contains(region->region)) {
        slotSwitch_->Failed(*region);
    }
}

bool TargetFlashDriver::CommitUpdate(const shared::BootVariables& alsoStored, bool wholeUpdate) {
    if (!slotSwitch_) {
        return true;
    }
    if (wholeUpdate) {
        RecheckWrittenSlots();
    }
    writtenSlots_ = {};
    return slotSwitch_->Commit(
        [this](const shared::FlashRegionInfo& region, shared::Slot from, shared::Slot to) {
            return CopySlot(region, from, to);
        },
        alsoStored, wholeUpdate);
}

platform::UpdateStart TargetFlashDriver::StartUpdate(bool unattended, shared::ReleaseRecord& record) {
    if (slotSwitch_ == nullptr) {
        return platform::UpdateStart::Go;
    }
    const auto slotPath = [this](const shared::FlashRegionInfo& region, shared::Slot slot) {
        return SlotPath(region, slot);
    };
    return shared::UpdateStartCheck(*slotSwitch_, record, approval_, fileSystem_, slotPath, errors_, debugLine_)
        .Check(unattended);
}

bool TargetFlashDriver::CopySlot(const shared::FlashRegionInfo& region, shared::Slot from, shared::Slot to) {
    if (!CheckCopySource(region, from)) {
        return false;
    }
    // The booted slot may hold the running system: it is only read, never claimed.
    shared::UniqueFd source(::open(SlotPath(region, from).c_str(), O_RDONLY | O_CLOEXEC));
    if (!source.IsValid()) {
        return errors_.Fail(shared::DeviceErrorFromErrno(errno));
    }
    shared::ImageToWrite image(std::make_unique<shared::DeviceFile>(std::move(source), errors_));
    return WriteInPlace(SlotPath(region, to), image, false);
}

void TargetFlashDriver::RecheckWrittenSlots() {
    for (const shared::FlashRegionInfo& region : shared::kFlashRegions) {
        const std::optional<WrittenSlot>& written = writtenSlots_[static_cast<std::size_t>(region.region)];
        if (!written) {
            continue;
        }
        const std::filesystem::path& path = SlotPath(region, written->slot);
        const std::optional<std::vector<shared::ChunkDigest>> now = ChunkDigestsOfPrefix(path, written->length);
        if (now == written->chunks) {
            continue;
        }
        if (now) {
            errors_.Fail(error::kCrc);
        }
        debugLine_(fmt::format("the {} region's slot {} ({}) no longer holds what was written into it: error {}",
                               region.name, shared::SlotLetter(written->slot), path.string(), errors_.Last()));
        slotSwitch_->Failed(region);
    }
}

std::optional<std::vector<shared::ChunkDigest>> TargetFlashDriver::ChunkDigestsOfPrefix(
    const std::filesystem::path& path, std::uint64_t length) {
    shared::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.IsValid()) {
        errors_.Fail(shared::DeviceErrorFromErrno(errno));
        return std::nullopt;
    }
    // From the medium, as the write's read-back was, in large requests, each hashed while the next is read.
    shared::DirectMedium medium(fd.Get());
    std::array<shared::AlignedBuffer, 2> requests{shared::AlignedBuffer(kRecheckRequestBytes),
                                                  shared::AlignedBuffer(kRecheckRequestBytes)};
    std::vector<shared::ChunkDigest> digests;
    std::uint64_t offset = 0;
    const bool read = platform::ReadOverlapped<shared::AlignedBuffer>(
        {&requests[0], &requests[1]},
        [&](shared::AlignedBuffer& request) -> std::optional<std::uint64_t> {
            const auto wanted = static_cast<std::uint32_t>(std::min<std::uint64_t>(length - offset, request.Size()));
            const std::int64_t got = wanted > 0 ? medium.Read(request, wanted, offset) : 0;
            if (got != wanted) {
                errors_.Fail(got < 0 ? shared::DeviceErrorFromErrno(errno) : error::kCrc);
                return std::nullopt;
            }
            offset += wanted;
            return wanted;
        },
        [&](const shared::AlignedBuffer& request, std::uint64_t count) {
            const std::vector<shared::ChunkDigest> chunks =
                shared::ChunkDigest::OfChunks(std::string_view(request.Data(), static_cast<std::size_t>(count)));
            digests.insert(digests.end(), chunks.begin(), chunks.end());
            return true;
        });
    if (!read) {
        return std::nullopt;
    }
    return digests;
}

bool TargetFlashDriver::CheckCopySource(const shared::FlashRegionInfo& region, shared::Slot slot) {
    const std::filesystem::path& source = SlotPath(region, slot);
    const std::optional<BlockDeviceInfo> device = ExaminePath(source);
    if (device && device->kind != PathKind::BlockDevice) {
        return true;  // a file's bytes are not a mounted file system's
    }
    const std::optional<std::string> mountInfo = device ? ReadMountInfo() : std::nullopt;
    if (!mountInfo) {
        return errors_.Fail(shared::DeviceErrorFromErrno(errno));
    }
    const std::optional<std::string> mountPoint = WritableMountPoint(device->number, ParseMountInfo(*mountInfo));
    if (!mountPoint) {
        return true;
    }
    // A file system mounted read-write changes under the copy, which would copy a crash image.
    debugLine_(fmt::format("the {} region's slot {} ({}) is mounted read-write on {}: it is not copied; carry both "
                           "OS and App on the card, or mount it read-only",
                           region.name, shared::SlotLetter(slot), source.string(), *mountPoint));
    return errors_.Fail(error::kSharingViolation);
}

const std::filesystem::path& TargetFlashDriver::SlotPath(const shared::FlashRegionInfo& region,
                                                        shared::Slot slot) const {
    const auto index = static_cast<std::size_t>(region.region);
    return slot == shared::Slot::A ? regions_[index] : secondSlots_[index];
}

}  // namespace velkor::board
