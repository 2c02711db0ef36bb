#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velkor::test {

// What goes into a test bitmap file. The header fields are written as given, so that tests can
// make files whose headers lie.
struct BitmapFields {
    std::int32_t width = 1;
    std::int32_t height = 1;
    std::uint16_t bitsPerPixel = 24;
    std::uint32_t compression = 0;
    std::uint32_t infoSize = 40;
    // Written after the information header (colour masks, a palette, or any gap).
    std::string afterHeaders;
    // The pixel offset in the file header; by default where the pixels really start.
    std::optional<std::uint32_t> pixelOffset;
    std::string pixels;
};

// `fields` with one change made by `change`, for tables of cases that differ in one field.
template <typename Change>
BitmapFields With(BitmapFields fields, Change change) {
    change(fields);
    return fields;
}

// A bitmap file: the 14-byte file header, an information header of `infoSize` bytes (its first
// 40 bytes filled in, the rest zero), `afterHeaders`, then `pixels`.
std::string BitmapFile(const BitmapFields& fields);

// Little-endian bytes of 16-bit words and of 32-bit masks, for pixel rows and colour masks.
std::string Words16(const std::vector<std::uint16_t>& words);
std::string Masks(std::uint32_t red, std::uint32_t green, std::uint32_t blue);

}  // namespace velkor::test
