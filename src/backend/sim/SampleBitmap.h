#pragma once

#include "platform/System.h"

#include <cstdint>
#include <ostream>

namespace velkor::sim {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kNearBlack{0x08, 0x08, 0x08};

// The size of the bitmap that WriteSampleBitmap writes for `size`.
std::uint64_t SampleBitmapBytes(platform::ScreenSize size);

// Writes a 24-bit uncompressed bitmap of `size`: diagonal stripes of pure black, near black and
// the two colours, the kinds of pixel a logo conversion has to tell apart. Rows are produced one
// at a time, so even the largest screen needs no whole image in memory.
void WriteSampleBitmap(std::ostream& out, platform::ScreenSize size, Rgb firstColour, Rgb secondColour);

}  // namespace velkor::sim
