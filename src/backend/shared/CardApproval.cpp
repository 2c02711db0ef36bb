#include "backend/shared/CardApproval.h"

#include "platform/DeviceText.h"

#include <algorithm>

namespace velkor::shared {

void CardApproval::Approve(platform::ApprovedCard card, bool privateCopies) {
    card_ = std::move(card);
    privateCopies_ = privateCopies;
    mismatch_ = false;
    guarded_ = false;
}

bool CardApproval::BeforeInPlaceWrite() {
    if (guarded_ || !card_.release || !inPlaceGuard_) {
        return true;
    }
    guarded_ = inPlaceGuard_(*card_.release);
    return guarded_;
}

const platform::ExpectedImage* CardApproval::Find(std::u16string_view devicePath,
                                                  const platform::FileIdentity& identity) const {
    auto found = std::find_if(card_.images.begin(), card_.images.end(),
                              [&](const platform::ExpectedImage& image) { return image.identity == identity; });
    if (found == card_.images.end()) {
        found = std::find_if(card_.images.begin(), card_.images.end(), [&](const platform::ExpectedImage& image) {
            return platform::EqualsIgnoreCase(image.devicePath, devicePath);
        });
    }
    return found != card_.images.end() ? &*found : nullptr;
}

std::vector<FlashRegion> CardApproval::CarriedRegions() const {
    std::vector<FlashRegion> regions;
    for (const platform::PlannedWrite& write : card_.writes) {
        if (const FlashRegionInfo* region = FindRegionByCode(write.controlCode)) {
            regions.push_back(region->region);
        }
    }
    return regions;
}

std::optional<platform::InstalledRelease> CardApproval::TakeRelease() {
    std::optional<platform::InstalledRelease> release = std::move(card_.release);
    Approve({}, false);
    return release;
}

}  // namespace velkor::shared
