#include "backend/shared/flash/FlashRegion.h"

#include <algorithm>

namespace velkor::shared {
namespace {

template <typename Matches>
const FlashRegionInfo* FindRegion(Matches matches) {
    const auto found = std::find_if(kFlashRegions.begin(), kFlashRegions.end(), matches);
    return found != kFlashRegions.end() ? &*found : nullptr;
}

}  // namespace

const FlashRegionInfo* FindRegionByCode(std::uint32_t controlCode) {
    return FindRegion([&](const FlashRegionInfo& info) { return info.controlCode == controlCode; });
}

const FlashRegionInfo* FindRegionByName(std::string_view name) {
    return FindRegion([&](const FlashRegionInfo& info) { return info.name == name; });
}

std::string RegionFileName(const FlashRegionInfo& region) { return std::string(region.name) + ".bin"; }

}  // namespace velkor::shared
