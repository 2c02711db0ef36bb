#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace velkor::sim::test {

// One attempt to open a device, on a device with the given faults and with some devices held open.
struct DeviceOpenCase {
    const char* name;
    const char* faults;
    std::vector<std::u16string_view> held;  // opened before, and still open
    std::u16string_view device;
    std::uint32_t error;  // kSuccess: it opens
};

}  // namespace velkor::sim::test
