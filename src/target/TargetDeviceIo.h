#pragma once

#include "host/ErrorState.h"
#include "host/RegistryTree.h"
#include "platform/DeviceIo.h"
#include "target/flash/TargetFlashDriver.h"
#include "target/storage/TargetStorageManager.h"

namespace velkor::target {

// The drivers of a real device: the flash driver under its two names (the BinFLASH profile's
// volume device and the fixed name), and each partition's volume device. A name that reaches both
// the flash driver and a volume opens both as one handle, as on the simulator.
class TargetDeviceIo : public platform::DeviceIo {
public:
    // The registry is read at each open, so the profile's folder is the one of that moment.
    TargetDeviceIo(const host::RegistryTree& registry, TargetFlashDriver& flash, TargetStorageManager& storage,
                   host::ErrorState& errors);

    // 2 for a name that reaches no driver, 32 while a driver it reaches is open.
    std::unique_ptr<platform::DeviceHandle> OpenDevice(std::u16string_view path, std::uint32_t access,
                                                       std::uint32_t shareMode) override;

private:
    bool NamesFlashDriver(std::u16string_view path) const;

    const host::RegistryTree& registry_;
    TargetFlashDriver& flash_;
    TargetStorageManager& storage_;
    host::ErrorState& errors_;
};

}  // namespace velkor::target
