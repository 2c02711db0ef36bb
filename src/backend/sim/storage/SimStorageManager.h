#pragma once

#include "platform/StorageManager.h"
#include "backend/sim/storage/StorageContext.h"

namespace velkor::sim {

// The device's storage manager: the stores of device.json, in its order, with their partitions.
class SimStorageManager : public platform::StorageManager {
public:
    explicit SimStorageManager(StorageContext& context);

    std::unique_ptr<platform::StoreSearch> FindFirstStore(platform::StoreInfo& first) override;
    // Device names compare without regard to case.
    std::unique_ptr<platform::Store> OpenStore(std::u16string_view deviceName) override;

private:
    StorageContext& context_;
};

}  // namespace velkor::sim
