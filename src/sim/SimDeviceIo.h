#pragma once

#include "platform/DeviceIo.h"
#include "sim/ErrorState.h"

namespace velkor::sim {

// The device's drivers. (Scaffold: no device opens yet.)
class SimDeviceIo : public platform::DeviceIo {
public:
    explicit SimDeviceIo(ErrorState& errors) : errors_(errors) {}

    std::unique_ptr<platform::DeviceHandle> OpenDevice(std::u16string_view, std::uint32_t, std::uint32_t) override {
        errors_.Fail(platform::error::kFileNotFound);
        return nullptr;
    }

private:
    ErrorState& errors_;
};

}  // namespace velkor::sim
