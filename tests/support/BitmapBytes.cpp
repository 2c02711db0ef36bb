#include "support/BitmapBytes.h"

#include <algorithm>

namespace velkor::test {
namespace {

constexpr std::uint32_t kFileHeaderBytes = 14;
constexpr std::uint32_t kFilledInfoBytes = 40;

void Put(std::string& bytes, std::uint32_t value, int byteCount) {
    for (int i = 0; i < byteCount; ++i) {
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

}  // namespace

std::string BitmapFile(const BitmapSpec& spec) {
    const std::uint32_t infoBytes = std::max(spec.infoSize, kFilledInfoBytes);
    const auto start = static_cast<std::uint32_t>(kFileHeaderBytes + infoBytes + spec.afterHeaders.size());
    std::string bytes = "BM";
    Put(bytes, static_cast<std::uint32_t>(start + spec.pixels.size()), 4);
    Put(bytes, 0, 4);
    Put(bytes, spec.pixelOffset.value_or(start), 4);
    Put(bytes, spec.infoSize, 4);
    Put(bytes, static_cast<std::uint32_t>(spec.width), 4);
    Put(bytes, static_cast<std::uint32_t>(spec.height), 4);
    Put(bytes, 1, 2);  // planes
    Put(bytes, spec.bitsPerPixel, 2);
    Put(bytes, spec.compression, 4);
    Put(bytes, static_cast<std::uint32_t>(spec.pixels.size()), 4);
    Put(bytes, 2835, 4);  // 72 dots per inch, both ways
    Put(bytes, 2835, 4);
    Put(bytes, 0, 8);  // colours used and important: all
    bytes.append(infoBytes - kFilledInfoBytes, '\0');
    return bytes + spec.afterHeaders + spec.pixels;
}

std::string Words16(const std::vector<std::uint16_t>& words) {
    std::string bytes;
    for (const std::uint16_t word : words) {
        Put(bytes, word, 2);
    }
    return bytes;
}

std::string Masks(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    std::string bytes;
    for (const std::uint32_t mask : {red, green, blue}) {
        Put(bytes, mask, 4);
    }
    return bytes;
}

}  // namespace velkor::test
