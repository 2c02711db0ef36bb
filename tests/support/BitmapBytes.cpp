#include "support/BitmapBytes.h"

#include "platform/LittleEndian.h"

#include <algorithm>

namespace velkor::test {
namespace {

constexpr std::uint32_t kFileHeaderBytes = 14;
constexpr std::uint32_t kFilledInfoBytes = 40;

}  // namespace

std::string BitmapFile(const BitmapFields& fields) {
    const std::uint32_t infoBytes = std::max(fields.infoSize, kFilledInfoBytes);
    const auto start = static_cast<std::uint32_t>(kFileHeaderBytes + infoBytes + fields.afterHeaders.size());
    std::string bytes = "BM";
    platform::AppendLittleEndian(bytes, static_cast<std::uint32_t>(start + fields.pixels.size()), 4);
    platform::AppendLittleEndian(bytes, 0, 4);
    platform::AppendLittleEndian(bytes, fields.pixelOffset.value_or(start), 4);
    platform::AppendLittleEndian(bytes, fields.infoSize, 4);
    platform::AppendLittleEndian(bytes, static_cast<std::uint32_t>(fields.width), 4);
    platform::AppendLittleEndian(bytes, static_cast<std::uint32_t>(fields.height), 4);
    platform::AppendLittleEndian(bytes, 1, 2);  // planes
    platform::AppendLittleEndian(bytes, fields.bitsPerPixel, 2);
    platform::AppendLittleEndian(bytes, fields.compression, 4);
    platform::AppendLittleEndian(bytes, static_cast<std::uint32_t>(fields.pixels.size()), 4);
    platform::AppendLittleEndian(bytes, 2835, 4);  // 72 dots per inch, both ways
    platform::AppendLittleEndian(bytes, 2835, 4);
    platform::AppendLittleEndian(bytes, 0, 4);  // colours used: all
    platform::AppendLittleEndian(bytes, 0, 4);  // colours important: all
    bytes.append(infoBytes - kFilledInfoBytes, '\0');
    return bytes + fields.afterHeaders + fields.pixels;
}

std::string Words16(const std::vector<std::uint16_t>& words) {
    std::string bytes;
    for (const std::uint16_t word : words) {
        platform::AppendLittleEndian(bytes, word, 2);
    }
    return bytes;
}

std::string Masks(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    std::string bytes;
    for (const std::uint32_t mask : {red, green, blue}) {
        platform::AppendLittleEndian(bytes, mask, 4);
    }
    return bytes;
}

}  // namespace velkor::test
