#pragma once

#include "backend/shared/ConfigReader.h"
#include "backend/sim/storage/StorageFaults.h"
#include "backend/sim/storage/StoreConfig.h"

#include <nlohmann/json.hpp>

#include <vector>

namespace velkor::sim {

// Reads device.json's "stores": none when the field is absent. Device names, and partition names
// within a store, must be unique without regard to case. Partitions may share a volume and folder.
std::vector<StoreConfig> ReadStores(const shared::ConfigReader& reader, const nlohmann::json& document);

// Reads the storage manager's switches of the "faults" object.
StorageFaults ReadStorageFaults(const shared::ConfigReader& reader, const nlohmann::json& faults);

}  // namespace velkor::sim
