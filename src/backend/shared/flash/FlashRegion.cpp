#include "backend/shared/flash/FlashRegion.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <cctype>
#include <vector>

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

std::string NoRegionLine(const FlashRegionInfo& region) {
    return "The device has no " + std::string(region.name) + " region: its image cannot be written";
}

std::string SlotFileName(const FlashRegionInfo& region, char slotLetter) {
    return fmt::format("{}-{}.bin", region.name, static_cast<char>(std::tolower(static_cast<unsigned char>(slotLetter))));
}

std::string TwoSlotRegionNames() {
    std::vector<std::string_view> names;
    for (const FlashRegionInfo& info : kFlashRegions) {
        if (info.mayHaveTwoSlots) {
            names.push_back(info.name);
        }
    }
    return fmt::format("{}", fmt::join(names, " and "));
}

}  // namespace velkor::shared
