#include "backend/shared/slots/SlotGroup.h"

#include "backend/shared/DeviceError.h"

#include <fmt/format.h>

#include <algorithm>

namespace velkor::shared {

void SlotGroup::Add(const FlashRegionInfo& region, std::string_view fieldPath) {
    if (!region.mayHaveTwoSlots) {
        throw DeviceError(fmt::format("\"{}\" cannot have two slots: the {} region is always written in place, and "
                                      "only {} may have two",
                                      fieldPath, region.name, TwoSlotRegionNames()));
    }
    members_[static_cast<std::size_t>(region.region)] = true;
}

bool SlotGroup::Empty() const { return std::none_of(members_.begin(), members_.end(), [](bool member) { return member; }); }

std::vector<const FlashRegionInfo*> SlotGroup::Members() const {
    std::vector<const FlashRegionInfo*> members;
    for (const FlashRegionInfo& info : kFlashRegions) {
        if (Contains(info.region)) {
            members.push_back(&info);
        }
    }
    return members;
}

}  // namespace velkor::shared
