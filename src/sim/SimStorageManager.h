#pragma once

#include "platform/StorageManager.h"
#include "sim/ErrorState.h"

namespace velkor::sim {

// (Scaffold: a device without stores.)
class SimStorageManager : public platform::StorageManager {
public:
    explicit SimStorageManager(ErrorState& errors) : errors_(errors) {}

    std::unique_ptr<platform::StoreSearch> FindFirstStore(platform::StoreInfo&) override {
        errors_.Fail(platform::error::kNoMoreItems);
        return nullptr;
    }
    std::unique_ptr<platform::Store> OpenStore(std::u16string_view) override {
        errors_.Fail(platform::error::kFileNotFound);
        return nullptr;
    }

private:
    ErrorState& errors_;
};

}  // namespace velkor::sim
