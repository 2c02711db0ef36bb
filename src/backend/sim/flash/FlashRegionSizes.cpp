#include "backend/sim/flash/FlashRegionSizes.h"

namespace velkor::sim {

FlashRegionSizes::FlashRegionSizes() {
    for (const shared::FlashRegionInfo& info : shared::kFlashRegions) {
        (*this)[info.region] = info.defaultBytes;
    }
}

}  // namespace velkor::sim
