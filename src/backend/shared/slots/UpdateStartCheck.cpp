#include "backend/shared/slots/UpdateStartCheck.h"

#include "backend/shared/flash/PrefixDigest.h"
#include "platform/FileDigest.h"

#include <fmt/format.h>

#include <algorithm>
#include <utility>

namespace velkor::shared {

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
        if (region == nullptr || !slots_.Group().Contains(region->region)) {
            continue;
        }
        const auto image = CardImage(write.devicePath);
        if (!image || DigestOfPrefix(slotPath_(*region, booted), image->second, errors_) != image->first) {
            return false;
        }
    }
    return true;
}

std::optional<std::pair<platform::Sha256Digest, std::uint64_t>> UpdateStartCheck::CardImage(
    std::u16string_view path) {
    const std::unique_ptr<platform::File> file = fileSystem_.OpenFile(path, platform::FileMode::Read);
    if (!file) {
        return std::nullopt;
    }
    const platform::FileIdentity identity = file->Identity();
    if (const platform::ExpectedImage* listed = approval_.Find(path, identity); listed && listed->identity == identity) {
        return std::pair{listed->sha256, listed->size};
    }
    const std::uint64_t length = file->Length();
    const std::optional<platform::Sha256Digest> digest = platform::DigestOfFile(*file, length);
    if (!digest) {
        return std::nullopt;
    }
    return std::pair{*digest, length};
}

}  // namespace velkor::shared
