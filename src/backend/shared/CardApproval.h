#pragma once

#include "backend/shared/flash/FlashRegion.h"
#include "platform/DeviceTrust.h"

#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace velkor::shared {

// The card the last check approved (DeviceTrust::ApproveCard), which the device's writers hold the
// bytes they write to. One per device, shared by its trust service, its flash driver, its file copies
// and its commit point; the approval lasts until the next one or the commit point.
class CardApproval {
public:
    // `privateCopies`: regions written in place get a private copy of their image, checked before
    // the first byte reaches the region (a device with a keyring).
    void Approve(platform::ApprovedCard card, bool privateCopies);
    // The listed image that the file open at `devicePath` is: the one the check read as this very
    // file, or else the one listed at its path (letter case aside), which is then another file than
    // the check read (see IsTheCheckedFile). Null when the card lists neither.
    const platform::ExpectedImage* Find(std::u16string_view devicePath, const platform::FileIdentity& identity) const;
    bool PrivateCopies() const { return privateCopies_; }

    // A write found an image's bytes other than the card lists.
    void NoteMismatch() { mismatch_ = true; }
    bool MismatchFound() const { return mismatch_; }

    // The regions of the image rows the run will carry out.
    std::vector<FlashRegion> CarriedRegions() const;
    // The image rows the run will carry out, with the card files they write.
    const std::vector<platform::PlannedWrite>& Writes() const { return card_.writes; }
    // The release the approved card installs; nothing for a card whose manifest is not signed.
    const std::optional<platform::InstalledRelease>& Release() const { return card_.release; }

    // What must be done before the first in-place byte of an update from a card with a release
    // (a one-slot device raises its record); false, with the last error set, when it was not done.
    using InPlaceGuard = std::function<bool(const platform::InstalledRelease& release)>;
    void GuardInPlaceWrites(InPlaceGuard guard) { inPlaceGuard_ = std::move(guard); }
    // Runs the guard once per approval, before its first in-place write; false when it failed.
    bool BeforeInPlaceWrite();

    // The commit point: the release to record, and the approval ends.
    std::optional<platform::InstalledRelease> TakeRelease();

private:
    platform::ApprovedCard card_;
    bool privateCopies_ = false;
    bool mismatch_ = false;
    InPlaceGuard inPlaceGuard_;
    bool guarded_ = false;
};

}  // namespace velkor::shared
