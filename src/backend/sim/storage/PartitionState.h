#pragma once

#include "backend/shared/storage/FatParameters.h"
#include "backend/sim/storage/StoreConfig.h"

#include <string>

namespace velkor::sim {

// A partition while the device runs: where device.json puts it, its FAT parameters, which a format
// changes, and whether its volume device is open. Nothing of it is written back to device.json.
struct PartitionState {
    const StoreConfig& store;
    const PartitionConfig& config;
    shared::FatParameters fat;
    bool volumeDeviceOpen = false;

    // "DSK2: Part00", as events.log names the partition.
    std::string Label() const;
};

}  // namespace velkor::sim
