#pragma once

#include "backend/shared/DismountedFolders.h"
#include "backend/sim/storage/PartitionState.h"
#include "backend/sim/storage/StoreConfig.h"

#include <span>
#include <string_view>
#include <vector>

namespace velkor::sim {

// The stores of device.json and the run-time state of their partitions. A partition is mounted
// while its folder is not among the dismounted folders the file system consults, so partitions
// that share a folder share that state.
class StorageState {
public:
    // `stores` must outlive the state.
    explicit StorageState(const std::vector<StoreConfig>& stores);

    StorageState(const StorageState&) = delete;
    StorageState& operator=(const StorageState&) = delete;

    const std::vector<StoreConfig>& Stores() const { return stores_; }
    std::span<PartitionState> Partitions() { return partitions_; }
    const shared::DismountedFolders& Dismounted() const { return dismounted_; }

    // Names compare without regard to case; null when there is no such store or partition.
    const StoreConfig* FindStore(std::u16string_view deviceName) const;
    PartitionState* FindPartition(const StoreConfig& store, std::u16string_view partitionName);

    bool IsMounted(const PartitionState& partition) const;
    void SetMounted(const PartitionState& partition, bool mounted);

private:
    const std::vector<StoreConfig>& stores_;
    // Made once, so that handles may keep references to its items.
    std::vector<PartitionState> partitions_;
    shared::DismountedFolders dismounted_;
};

}  // namespace velkor::sim
