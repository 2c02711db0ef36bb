// Any text as a target file: it is read, or refused with the device's own error naming the file
// and the field; nothing else escapes, and nothing on the machine is looked at.
#include "backend/shared/DeviceError.h"
#include "backend/board/TargetConfigReader.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        velkor::board::ParseTargetConfig(std::string_view(reinterpret_cast<const char*>(data), size),
                                          "/etc/velkor/target.json");
    } catch (const velkor::shared::DeviceError&) {
    }
    return 0;
}
