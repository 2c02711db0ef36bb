// Any text as device.json: it is read, or refused with the device's own error naming the file;
// nothing else escapes.
#include "backend/shared/DeviceError.h"
#include "backend/sim/DeviceConfig.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        velkor::sim::ParseDeviceConfig(std::string_view(reinterpret_cast<const char*>(data), size), "device.json");
    } catch (const velkor::shared::DeviceError&) {
    }
    return 0;
}
