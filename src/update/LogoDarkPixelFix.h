#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace velkor::update {

// How the pixel rows of a bitmap lie in its pixel block.
struct PixelRows {
    int width = 0;
    int bitsPerPixel = 0;
    // Bytes from one row to the next, the row's trailing fill included.
    std::size_t rowBytes = 0;
};

// Lifts pure and near-pure black to a faint grey in every whole row of `block`, visiting only
// the first `width` pixels of a row. 24 bits: blue, green and red equal and below 8 become 8, 8, 8.
// 16 bits (5-5-5, bit 15 ignored): black becomes 0x0421, level 1 in each field. Other depths are
// left alone.
void LogoDarkPixelFix(std::span<std::uint8_t> block, const PixelRows& rows);

}  // namespace velkor::update
