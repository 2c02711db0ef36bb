#pragma once

#include "backend/shared/storage/FatParameters.h"

#include <string>
#include <vector>

namespace velkor::sim {

// A partition of a store as device.json describes it.
struct PartitionConfig {
    std::u16string name;    // "Part00"
    std::u16string volume;  // where the storage manager mounts it, "\VKRFlash"
    std::u16string folder;  // the folder of DIR/root that holds the volume, "VKRFlash"
    shared::FatParameters fat;

    bool operator==(const PartitionConfig&) const = default;
};

// A store (a disk) of the device's storage manager.
struct StoreConfig {
    std::u16string deviceName;  // "DSK2:"
    std::u16string profile;     // "BinFLASH"
    std::vector<PartitionConfig> partitions;

    bool operator==(const StoreConfig&) const = default;
};

}  // namespace velkor::sim
