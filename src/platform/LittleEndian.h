#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace velkor::platform {

// Fields of the device's binary records (bitmap headers, disk replies): little-endian and
// unaligned. For the readers, `at` plus the field's width must lie within `bytes`.

inline std::uint8_t Read8(std::span<const std::uint8_t> bytes, std::size_t at) { return bytes[at]; }

inline std::uint16_t Read16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

inline std::uint32_t Read32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(Read16(bytes, at)) | static_cast<std::uint32_t>(Read16(bytes, at + 2)) << 16;
}

// Writes the low `width` bytes (at most 4) of `value` at `at`; `at` plus `width` must lie within
// `bytes`.
inline void WriteLittleEndian(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value, std::size_t width) {
    for (std::size_t index = 0; index < width; ++index) {
        bytes[at + index] = static_cast<std::uint8_t>(value >> (8 * index));
    }
}

// Appends the low `width` bytes (at most 4) of `value`.
inline void AppendLittleEndian(std::string& bytes, std::uint32_t value, std::size_t width) {
    for (std::size_t index = 0; index < width; ++index) {
        bytes += static_cast<char>((value >> (8 * index)) & 0xFF);
    }
}

}  // namespace velkor::platform
