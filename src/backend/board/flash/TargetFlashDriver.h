#pragma once

#include "backend/shared/CardApproval.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "backend/shared/flash/FlashExecutor.h"
#include "backend/shared/ReleaseRecord.h"
#include "backend/shared/flash/ChunkDigest.h"
#include "backend/shared/flash/FlashRegion.h"
#include "backend/shared/flash/ImageToWrite.h"
#include "backend/shared/slots/SlotSwitch.h"
#include "platform/DeviceIo.h"
#include "platform/FileSystem.h"
#include "backend/board/TargetConfig.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::board {

// The flash driver of a real device: each image code writes an image file of the device's file
// system into the block device or file the target file names for its region, held to what the
// approved card lists for it, and the reset does nothing but say so on the debug output.
class TargetFlashDriver : public shared::FlashExecutor {
public:
    // `debugLine` writes one line of the platform's debug output. A region of `slotSwitch`'s group
    // has its slot A in `regions` and its slot B in `secondSlots`. `approval` is the card the last
    // check approved.
    TargetFlashDriver(const FlashRegionTargets& regions, const FlashRegionTargets& secondSlots,
                      shared::SlotSwitch& slotSwitch, platform::FileSystem& fileSystem, shared::CardApproval& approval,
                      shared::ErrorState& errors, shared::EventLog& events,
                      std::function<void(std::string_view)> debugLine);
    // A driver whose regions are all written in place.
    TargetFlashDriver(const FlashRegionTargets& regions, platform::FileSystem& fileSystem,
                      shared::CardApproval& approval, shared::ErrorState& errors, shared::EventLog& events,
                      std::function<void(std::string_view)> debugLine);

    // The size of the region (slot A's for a two-slot region) that `controlCode` writes; nothing
    // when no region goes by it or its target cannot be examined.
    std::optional<std::uint64_t> RegionBytes(std::uint32_t controlCode) const;

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
    // The commit point: SlotSwitch::Commit, copying a slot device into the other, with `alsoStored`
    // in the same store.
    bool CommitUpdate(const shared::BootVariables& alsoStored, bool wholeUpdate);
    // A row of the region `controlCode` writes failed: SlotSwitch::Failed for a grouped one.
    void ImageFailed(std::uint32_t controlCode);
    // Before an update's first effect (shared::UpdateStartCheck), `record` holding the installed release.
    platform::UpdateStart StartUpdate(bool unattended, shared::ReleaseRecord& record);

private:
    // What a grouped region's slot was proven to hold when the update wrote it.
    struct WrittenSlot {
        shared::Slot slot;
        std::uint64_t length = 0;
        std::vector<shared::ChunkDigest> chunks;
    };

    bool WriteImage(const shared::FlashRegionInfo& region, std::u16string_view path);
    // Opens the region at `target` and writes `image` into it; with `privately`, from the image's
    // private copy, made once the region is known to hold it. A `written` slot gets the length
    // and chunk digests of what the region was proven to hold.
    bool WriteInPlace(const std::filesystem::path& target, shared::ImageToWrite& image, bool privately,
                      WrittenSlot* written = nullptr);
    // Into the slot the switch names; an image larger than a slot never disarms it.
    bool WriteIntoSlot(const shared::FlashRegionInfo& region, shared::ImageToWrite& image);
    bool CopySlot(const shared::FlashRegionInfo& region, shared::Slot from, shared::Slot to);
    // Refuses, naming the mount, a source slot mounted read-write; false with the last error set.
    bool CheckCopySource(const shared::FlashRegionInfo& region, shared::Slot slot);
    // At the commit point: each slot the update wrote is read again and must hash as it was proven
    // to hold when it was written (udev or an automounter may have touched it since); a grouped row fails
    // otherwise.
    void RecheckWrittenSlots();
    // The ChunkDigest of each chunk of the first `length` bytes at `path`; nothing, with the last
    // error set, when they cannot be read.
    std::optional<std::vector<shared::ChunkDigest>> ChunkDigestsOfPrefix(const std::filesystem::path& path,
                                                                         std::uint64_t length);
    const std::filesystem::path& SlotPath(const shared::FlashRegionInfo& region, shared::Slot slot) const;

    FlashRegionTargets regions_;
    FlashRegionTargets secondSlots_;
    // Null when every region is written in place.
    shared::SlotSwitch* slotSwitch_;
    platform::FileSystem& fileSystem_;
    shared::CardApproval& approval_;
    shared::ErrorState& errors_;
    shared::EventLog& events_;
    std::function<void(std::string_view)> debugLine_;
    bool claimed_ = false;
    // Each grouped region's slot as the update wrote it.
    std::array<std::optional<WrittenSlot>, shared::kFlashRegions.size()> writtenSlots_;
};

}  // namespace velkor::board
