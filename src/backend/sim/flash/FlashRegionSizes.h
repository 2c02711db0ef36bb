#pragma once

#include "backend/shared/flash/FlashRegion.h"

#include <array>
#include <cstdint>

namespace velkor::sim {

// How many bytes each flash region holds; the regions' defaults until set.
class FlashRegionSizes {
public:
    FlashRegionSizes();

    std::uint64_t& operator[](shared::FlashRegion region) { return bytes_[static_cast<std::size_t>(region)]; }
    std::uint64_t operator[](shared::FlashRegion region) const { return bytes_[static_cast<std::size_t>(region)]; }

    bool operator==(const FlashRegionSizes&) const = default;

private:
    std::array<std::uint64_t, shared::kFlashRegions.size()> bytes_{};
};

}  // namespace velkor::sim
