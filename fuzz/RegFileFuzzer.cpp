// Any text as platform.reg: it parses, or it is refused with the device's own error naming the
// file; nothing else escapes.
#include "host/DeviceError.h"
#include "host/RegFileParser.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        velkor::host::RegFileParser::Parse(std::string_view(reinterpret_cast<const char*>(data), size), "platform.reg");
    } catch (const velkor::host::DeviceError&) {
    }
    return 0;
}
