#include "backend/shared/slots/UpdateStartCheck.h"

#include "backend/shared/DeviceFile.h"

#include <fcntl.h>

#include <fmt/format.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace velkor::shared {
namespace {

constexpr std::uint32_t kCompareChunkBytes = 1024 * 1024;

// `count` bytes, however many reads they take; false when the file ends before them or a read fails.
bool ReadExactly(platform::File& file, char* buffer, std::uint32_t count) {
    for (std::uint32_t done = 0; done < count;) {
        std::uint32_t read = 0;
        if (!file.Read(buffer + done, count - done, read) || read == 0) {
            return false;
        }
        done += read;
    }
    return true;
}

}  // namespace

UpdateStartCheck::UpdateStartCheck(SlotSwitch& slots, ReleaseRecord& record, const CardApproval& approval,
                                   platform::FileSystem& fileSystem, SlotPath slotPath, ErrorState& errors,
                                   std::function<void(std::string_view)> debugLine)
    : slots_(slots),
      record_(record),
      approval_(approval),
      fileSystem_(fileSystem),
      slotPath_(std::move(slotPath)),
      errors_(errors),
      debugLine_(std::move(debugLine)) {}

platform::UpdateStart UpdateStartCheck::Check(bool unattended) {
    const std::vector<FlashRegion> carried = approval_.CarriedRegions();
    const bool writesGroup = std::any_of(carried.begin(), carried.end(),
                                         [this](FlashRegion region) { return slots_.Group().Contains(region); });
    if (!writesGroup) {
        return platform::UpdateStart::Go;
    }
    if (unattended) {
        const std::optional<Slot> booted = slots_.RunningConfirmedCommit();
        if (booted && CardRunsIn(*booted)) {
            debugLine_(fmt::format("slot {} runs this card's release, confirmed by mark-good: an unattended update "
                                   "writes nothing; press Update to write the other slot with it",
                                   SlotLetter(*booted)));
            return platform::UpdateStart::AlreadyRunning;
        }
    }
    return slots_.CanStart(carried) ? platform::UpdateStart::Go : platform::UpdateStart::Refused;
}

bool UpdateStartCheck::CardRunsIn(Slot booted) {
    if (const std::optional<platform::InstalledRelease>& release = approval_.Release()) {
        return RecordedManifestIs(*release);
    }
    return ImagesEqualSlot(booted);
}

// The record is stored with the switch to the slot that is first in BOOT_ORDER, the booted one here.
bool UpdateStartCheck::RecordedManifestIs(const platform::InstalledRelease& release) {
    std::uint32_t error = platform::error::kSuccess;
    const std::optional<platform::InstalledRelease> recorded = record_.Read(error);
    return recorded && recorded->manifestSha256 == release.manifestSha256;
}

bool UpdateStartCheck::ImagesEqualSlot(Slot booted) {
    for (const platform::PlannedWrite& write : approval_.Writes()) {
        const FlashRegionInfo* region = FindRegionByCode(write.controlCode);
        if (region != nullptr && slots_.Group().Contains(region->region) &&
            !SlotStartsWith(slotPath_(*region, booted), write.devicePath)) {
            return false;
        }
    }
    return true;
}

// Read a chunk at a time, and no further than the first chunk that differs: a card of another
// release costs a chunk of each, not a read of both.
bool UpdateStartCheck::SlotStartsWith(const std::filesystem::path& slot, std::u16string_view cardPath) {
    const std::unique_ptr<platform::File> card = fileSystem_.OpenFile(cardPath, platform::FileMode::Read);
    UniqueFd fd(::open(slot.c_str(), O_RDONLY | O_CLOEXEC));
    if (!card || !fd.IsValid()) {
        return false;
    }
    DeviceFile slotFile(std::move(fd), errors_);
    std::vector<char> cardChunk(kCompareChunkBytes);
    std::vector<char> slotChunk(kCompareChunkBytes);
    for (std::uint64_t left = card->Length(); left > 0;) {
        const auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(left, kCompareChunkBytes));
        if (!ReadExactly(*card, cardChunk.data(), count) || !ReadExactly(slotFile, slotChunk.data(), count) ||
            !std::equal(cardChunk.begin(), cardChunk.begin() + count, slotChunk.begin())) {
            return false;
        }
        left -= count;
    }
    return true;
}

}  // namespace velkor::shared
