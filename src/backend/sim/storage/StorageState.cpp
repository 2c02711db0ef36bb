#include "backend/sim/storage/StorageState.h"

#include "platform/DeviceText.h"

#include <algorithm>

namespace velkor::sim {

StorageState::StorageState(const std::vector<StoreConfig>& stores) : stores_(stores) {
    for (const StoreConfig& store : stores_) {
        for (const PartitionConfig& partition : store.partitions) {
            partitions_.push_back({store, partition, partition.fat});
        }
    }
}

const StoreConfig* StorageState::FindStore(std::u16string_view deviceName) const {
    const auto found = std::find_if(stores_.begin(), stores_.end(), [&](const StoreConfig& store) {
        return platform::EqualsIgnoreCase(store.deviceName, deviceName);
    });
    return found != stores_.end() ? &*found : nullptr;
}

PartitionState* StorageState::FindPartition(const StoreConfig& store, std::u16string_view partitionName) {
    const auto found = std::find_if(partitions_.begin(), partitions_.end(), [&](const PartitionState& partition) {
        return &partition.store == &store && platform::EqualsIgnoreCase(partition.config.name, partitionName);
    });
    return found != partitions_.end() ? &*found : nullptr;
}

bool StorageState::IsMounted(const PartitionState& partition) const {
    return !dismounted_.Contains(partition.config.folder);
}

void StorageState::SetMounted(const PartitionState& partition, bool mounted) {
    if (mounted) {
        dismounted_.Remove(partition.config.folder);
    } else {
        dismounted_.Add(partition.config.folder);
    }
}

}  // namespace velkor::sim
