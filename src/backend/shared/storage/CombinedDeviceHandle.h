#pragma once

#include "platform/DeviceIo.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace velkor::shared {

// One device name that reaches both the flash driver and a volume, as "\VKRFlash\Vol:" does on a
// new device: the volume's codes go to the volume and every other code to the flash driver, so that
// each answers and logs as it would alone. Both stay claimed while the handle lives.
class CombinedDeviceHandle : public platform::DeviceHandle {
public:
    // Tells the codes that go to the volume, such as IsVolumeCode.
    using VolumeCodeFilter = std::function<bool(std::uint32_t code)>;

    CombinedDeviceHandle(std::unique_ptr<platform::DeviceHandle> flash, std::unique_ptr<platform::DeviceHandle> volume,
                         VolumeCodeFilter isVolumeCode);

    int Control(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output, std::uint32_t outputSize,
                std::uint32_t* bytesReturned) override;

private:
    std::unique_ptr<platform::DeviceHandle> flash_;
    std::unique_ptr<platform::DeviceHandle> volume_;
    VolumeCodeFilter isVolumeCode_;
};

}  // namespace velkor::shared
