#pragma once

#include "platform/DeviceIo.h"
#include "sim/storage/VolumeHandle.h"

#include <memory>

namespace velkor::sim {

// One device name that reaches both the flash driver and a volume, as "\VKRFlash\Vol:" does on a
// new device: the volume's codes go to the volume and every other code to the flash driver, so that
// each answers and logs as it would alone. Both stay claimed while the handle lives.
class CombinedDeviceHandle : public platform::DeviceHandle {
public:
    CombinedDeviceHandle(std::unique_ptr<platform::DeviceHandle> flash, std::unique_ptr<VolumeHandle> volume);

    int Control(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output, std::uint32_t outputSize,
                std::uint32_t* bytesReturned) override;

private:
    std::unique_ptr<platform::DeviceHandle> flash_;
    std::unique_ptr<VolumeHandle> volume_;
};

}  // namespace velkor::sim
