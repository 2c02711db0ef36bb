#pragma once

#include "platform/DeviceTrust.h"

#include <optional>
#include <string_view>

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

    // The commit point: the release to record, and the approval ends.
    std::optional<platform::InstalledRelease> TakeRelease();

private:
    platform::ApprovedCard card_;
    bool privateCopies_ = false;
    bool mismatch_ = false;
};

}  // namespace velkor::shared
