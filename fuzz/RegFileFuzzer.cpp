// Any text as platform.reg: it parses, or it is refused with the device's own error naming the
// file; nothing else escapes.
#include "backend/shared/DeviceError.h"
#include "backend/shared/RegFileParser.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        velkor::shared::RegFileParser::Parse(std::string_view(reinterpret_cast<const char*>(data), size), "platform.reg");
    } catch (const velkor::shared::DeviceError&) {
    }
    return 0;
}
