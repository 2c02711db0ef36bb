#include "update/LogoDarkPixelFix.h"

#include <algorithm>

namespace velkor::update {
namespace {

constexpr std::uint8_t kDarkestGrey24 = 8;
constexpr std::uint16_t kColourBits16 = 0x7FFF;
constexpr std::uint16_t kDarkestGrey16 = 0x0421;

void LiftPixel24(std::uint8_t* pixel) {
    const std::uint8_t blue = pixel[0];
    if (blue < kDarkestGrey24 && pixel[1] == blue && pixel[2] == blue) {
        std::fill_n(pixel, 3, kDarkestGrey24);
    }
}

void LiftPixel16(std::uint8_t* pixel) {
    const auto word = static_cast<std::uint16_t>(pixel[0] | (pixel[1] << 8));
    if ((word & kColourBits16) == 0) {
        pixel[0] = kDarkestGrey16 & 0xFF;
        pixel[1] = kDarkestGrey16 >> 8;
    }
}

}  // namespace

void LogoDarkPixelFix(std::span<std::uint8_t> block, const PixelRows& rows) {
    const auto lift = rows.bitsPerPixel == 24 ? LiftPixel24 : rows.bitsPerPixel == 16 ? LiftPixel16 : nullptr;
    if (!lift || rows.width <= 0 || rows.rowBytes == 0) {
        return;
    }
    const std::size_t pixelBytes = static_cast<std::size_t>(rows.bitsPerPixel) / 8;
    const std::size_t pixelsPerRow = std::min(static_cast<std::size_t>(rows.width), rows.rowBytes / pixelBytes);
    for (std::size_t rowStart = 0; block.size() - rowStart >= rows.rowBytes; rowStart += rows.rowBytes) {
        for (std::size_t pixel = 0; pixel < pixelsPerRow; ++pixel) {
            lift(block.data() + rowStart + pixel * pixelBytes);
        }
    }
}

}  // namespace velkor::update
