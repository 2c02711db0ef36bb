#include "backend/sim/storage/SimStorageManager.h"

#include "backend/shared/NameList.h"
#include "backend/shared/storage/ListSearch.h"
#include "backend/sim/storage/SimStore.h"

namespace velkor::sim {
namespace {

namespace error = platform::error;

}  // namespace

SimStorageManager::SimStorageManager(StorageContext& context) : context_(context) {}

std::unique_ptr<platform::StoreSearch> SimStorageManager::FindFirstStore(platform::StoreInfo& first) {
    std::vector<platform::StoreInfo> stores;
    for (const StoreConfig& store : context_.state.Stores()) {
        stores.push_back({store.deviceName, store.profile});
    }
    return shared::ListSearch<platform::StoreSearch, platform::StoreInfo>::Start(std::move(stores), first,
                                                                               context_.errors);
}

std::unique_ptr<platform::Store> SimStorageManager::OpenStore(std::u16string_view deviceName) {
    const StoreConfig* store = context_.state.FindStore(deviceName);
    if (!store) {
        context_.errors.Fail(error::kFileNotFound);
        return nullptr;
    }
    if (shared::ListsName(context_.faults.storeOpenFails, store->deviceName)) {
        context_.errors.Fail(error::kAccessDenied);
        return nullptr;
    }
    return std::make_unique<SimStore>(*store, context_);
}

}  // namespace velkor::sim
