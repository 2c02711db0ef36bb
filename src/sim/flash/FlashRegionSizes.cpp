#include "sim/flash/FlashRegionSizes.h"

namespace velkor::sim {

FlashRegionSizes::FlashRegionSizes() {
    for (const host::FlashRegionInfo& info : host::kFlashRegions) {
        (*this)[info.region] = info.defaultBytes;
    }
}

}  // namespace velkor::sim
