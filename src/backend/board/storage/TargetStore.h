#pragma once

#include "platform/StorageManager.h"
#include "backend/board/TargetConfig.h"
#include "backend/board/storage/TargetStorageContext.h"

namespace velkor::board {

// An open store of the storage manager: its partitions, in the target file's order.
class TargetStore : public platform::Store {
public:
    TargetStore(const StoreTarget& store, const TargetStorageContext& context);

    std::unique_ptr<platform::PartitionSearch> FindFirstPartition(platform::PartitionInfo& first) override;
    // Partition names compare without regard to case; kFileNotFound for a name the store lacks.
    std::unique_ptr<platform::Partition> OpenPartition(std::u16string_view partitionName) override;

private:
    const StoreTarget& store_;
    const TargetStorageContext& context_;
};

}  // namespace velkor::board
