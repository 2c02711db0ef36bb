#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace velkor::platform {

// Fields of the device's binary records (bitmap headers, disk replies): little-endian and
// unaligned. `at` plus the field's width must lie within `bytes`.

inline std::uint8_t Read8(std::span<const std::uint8_t> bytes, std::size_t at) { return bytes[at]; }

inline std::uint16_t Read16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

inline std::uint32_t Read32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(Read16(bytes, at)) | static_cast<std::uint32_t>(Read16(bytes, at + 2)) << 16;
}

}  // namespace velkor::platform
