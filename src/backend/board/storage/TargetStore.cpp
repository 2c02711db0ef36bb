#include "backend/board/storage/TargetStore.h"

#include "backend/shared/storage/ListSearch.h"
#include "platform/DeviceText.h"
#include "backend/board/storage/TargetPartition.h"

#include <algorithm>

namespace velkor::board {

TargetStore::TargetStore(const StoreTarget& store, const TargetStorageContext& context)
    : store_(store), context_(context) {}

std::unique_ptr<platform::PartitionSearch> TargetStore::FindFirstPartition(platform::PartitionInfo& first) {
    std::vector<platform::PartitionInfo> partitions;
    for (const PartitionTarget& partition : store_.partitions) {
        partitions.push_back({partition.name, partition.volume});
    }
    return shared::ListSearch<platform::PartitionSearch, platform::PartitionInfo>::Start(std::move(partitions), first,
                                                                                       context_.errors);
}

std::unique_ptr<platform::Partition> TargetStore::OpenPartition(std::u16string_view partitionName) {
    const auto found = std::find_if(store_.partitions.begin(), store_.partitions.end(), [&](const auto& partition) {
        return platform::EqualsIgnoreCase(partition.name, partitionName);
    });
    if (found == store_.partitions.end()) {
        context_.errors.Fail(platform::error::kFileNotFound);
        return nullptr;
    }
    return std::make_unique<TargetPartition>(store_, *found, context_);
}

}  // namespace velkor::board
