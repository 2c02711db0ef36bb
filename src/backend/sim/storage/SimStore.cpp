#include "backend/sim/storage/SimStore.h"

#include "backend/shared/NameList.h"
#include "backend/shared/storage/ListSearch.h"
#include "backend/sim/storage/SimPartition.h"

namespace velkor::sim {
namespace {

namespace error = platform::error;

}  // namespace

SimStore::SimStore(const StoreConfig& store, StorageContext& context) : store_(store), context_(context) {}

std::unique_ptr<platform::PartitionSearch> SimStore::FindFirstPartition(platform::PartitionInfo& first) {
    if (shared::ListsName(context_.faults.partitionSearchFails, store_.deviceName)) {
        context_.errors.Fail(error::kAccessDenied);
        return nullptr;
    }
    std::vector<platform::PartitionInfo> partitions;
    for (const PartitionConfig& partition : store_.partitions) {
        partitions.push_back({partition.name, partition.volume});
    }
    return shared::ListSearch<platform::PartitionSearch, platform::PartitionInfo>::Start(std::move(partitions), first,
                                                                                       context_.errors);
}

std::unique_ptr<platform::Partition> SimStore::OpenPartition(std::u16string_view partitionName) {
    if (shared::ListsName(context_.faults.partitionOpenFails, store_.deviceName)) {
        context_.errors.Fail(error::kAccessDenied);
        return nullptr;
    }
    PartitionState* partition = context_.state.FindPartition(store_, partitionName);
    if (!partition) {
        context_.errors.Fail(error::kFileNotFound);
        return nullptr;
    }
    return std::make_unique<SimPartition>(*partition, context_);
}

}  // namespace velkor::sim
