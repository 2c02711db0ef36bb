#include "sim/flash/FlashRegionSizes.h"

namespace velkor::sim {

FlashRegionSizes::FlashRegionSizes() {
    for (const FlashRegionInfo& info : kFlashRegions) {
        (*this)[info.region] = info.defaultBytes;
    }
}

}  // namespace velkor::sim
