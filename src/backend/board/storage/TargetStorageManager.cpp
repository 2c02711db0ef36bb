#include "backend/board/storage/TargetStorageManager.h"

#include "backend/shared/storage/ListSearch.h"
#include "backend/shared/storage/VolumeDevice.h"
#include "platform/DeviceText.h"
#include "backend/board/storage/TargetStore.h"
#include "backend/board/storage/TargetVolumeHandle.h"

#include <algorithm>

namespace velkor::board {
namespace {

namespace error = platform::error;

}  // namespace

TargetStorageManager::TargetStorageManager(const std::vector<StoreTarget>& stores, const TargetCommands& commands,
                                           const CommandRunner& runner, shared::DismountedFolders& dismounted,
                                           shared::ErrorState& errors, shared::EventLog& events,
                                           std::chrono::milliseconds releaseWait)
    : stores_(stores), context_{commands, runner, dismounted, errors, events, releaseWait} {}

std::unique_ptr<platform::StoreSearch> TargetStorageManager::FindFirstStore(platform::StoreInfo& first) {
    std::vector<platform::StoreInfo> stores;
    for (const StoreTarget& store : stores_) {
        stores.push_back({store.deviceName, store.profile});
    }
    return shared::ListSearch<platform::StoreSearch, platform::StoreInfo>::Start(std::move(stores), first,
                                                                               context_.errors);
}

std::unique_ptr<platform::Store> TargetStorageManager::OpenStore(std::u16string_view deviceName) {
    const auto found = std::find_if(stores_.begin(), stores_.end(), [&](const StoreTarget& store) {
        return platform::EqualsIgnoreCase(store.deviceName, deviceName);
    });
    if (found == stores_.end()) {
        context_.errors.Fail(error::kFileNotFound);
        return nullptr;
    }
    return std::make_unique<TargetStore>(*found, context_);
}

std::unique_ptr<platform::DeviceHandle> TargetStorageManager::OpenVolumeDevice(std::u16string_view path) {
    const PartitionTarget* partition = FindVolume(path);
    if (!partition) {
        context_.errors.Fail(error::kFileNotFound);
        return nullptr;
    }
    if (claimedVolumes_.contains(partition)) {
        context_.errors.Fail(error::kSharingViolation);
        return nullptr;
    }
    return std::make_unique<TargetVolumeHandle>(std::u16string(path), *partition, claimedVolumes_, context_.errors,
                                                context_.events);
}

const PartitionTarget* TargetStorageManager::FindVolume(std::u16string_view path) const {
    for (const StoreTarget& store : stores_) {
        for (const PartitionTarget& partition : store.partitions) {
            if (shared::NamesVolumeDevice(path, partition.volume)) {
                return &partition;
            }
        }
    }
    return nullptr;
}

}  // namespace velkor::board
