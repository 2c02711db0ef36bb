#include "backend/shared/storage/CombinedDeviceHandle.h"

namespace velkor::shared {

CombinedDeviceHandle::CombinedDeviceHandle(std::unique_ptr<platform::DeviceHandle> flash,
                                           std::unique_ptr<platform::DeviceHandle> volume,
                                           VolumeCodeFilter isVolumeCode)
    : flash_(std::move(flash)), volume_(std::move(volume)), isVolumeCode_(std::move(isVolumeCode)) {}

int CombinedDeviceHandle::Control(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output,
                                  std::uint32_t outputSize, std::uint32_t* bytesReturned) {
    platform::DeviceHandle& driver = isVolumeCode_(code) ? *volume_ : *flash_;
    return driver.Control(code, input, inputSize, output, outputSize, bytesReturned);
}

}  // namespace velkor::shared
