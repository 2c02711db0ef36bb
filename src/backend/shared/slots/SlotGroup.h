#pragma once

#include "backend/shared/flash/FlashRegion.h"

#include <array>
#include <vector>

namespace velkor::shared {

// The regions that have two slots. They are one group: the slot of each in use is the slot that
// booted, and a switch moves them all at once.
class SlotGroup {
public:
    // Throws DeviceError naming `fieldPath` for a region that must be written in place.
    void Add(const FlashRegionInfo& region, std::string_view fieldPath);

    bool Contains(FlashRegion region) const { return members_[static_cast<std::size_t>(region)]; }
    bool Empty() const;
    std::vector<const FlashRegionInfo*> Members() const;

    bool operator==(const SlotGroup&) const = default;

private:
    std::array<bool, kFlashRegions.size()> members_{};
};

}  // namespace velkor::shared
