#pragma once

#include "platform/StorageManager.h"
#include "backend/sim/storage/StorageContext.h"
#include "backend/sim/storage/StoreConfig.h"

namespace velkor::sim {

// An open store of the storage manager: its partitions, in device.json's order.
class SimStore : public platform::Store {
public:
    SimStore(const StoreConfig& store, StorageContext& context);

    std::unique_ptr<platform::PartitionSearch> FindFirstPartition(platform::PartitionInfo& first) override;
    // Partition names compare without regard to case.
    std::unique_ptr<platform::Partition> OpenPartition(std::u16string_view partitionName) override;

private:
    const StoreConfig& store_;
    StorageContext& context_;
};

}  // namespace velkor::sim
