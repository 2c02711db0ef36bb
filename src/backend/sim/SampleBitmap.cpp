#include "backend/sim/SampleBitmap.h"

#include "platform/LittleEndian.h"

#include <algorithm>
#include <array>
#include <string>

namespace velkor::sim {
namespace {

constexpr std::uint32_t kHeaderBytes = 14 + 40;  // file header, then the 40-byte info header
constexpr std::uint32_t kInfoHeaderBytes = 40;
constexpr std::uint16_t kPlanes = 1;
constexpr std::uint16_t kBitsPerPixel = 24;
constexpr std::uint32_t kUncompressed = 0;
constexpr std::uint32_t kPixelsPerMetre = 2835;  // 72 dots per inch
constexpr int kBytesPerPixel = 3;
constexpr int kStripesAcross = 32;

// Rows are padded to whole 32-bit words.
std::uint32_t RowBytes(int width) { return (static_cast<std::uint32_t>(width) * kBytesPerPixel + 3) & ~3U; }

std::uint32_t PixelBytes(platform::ScreenSize size) {
    return RowBytes(size.width) * static_cast<std::uint32_t>(size.height);
}

std::string Headers(platform::ScreenSize size) {
    const std::uint32_t imageBytes = PixelBytes(size);
    std::string bytes = "BM";
    platform::AppendLittleEndian(bytes, kHeaderBytes + imageBytes, 4);
    platform::AppendLittleEndian(bytes, 0, 4);  // two reserved words
    platform::AppendLittleEndian(bytes, kHeaderBytes, 4);
    platform::AppendLittleEndian(bytes, kInfoHeaderBytes, 4);
    platform::AppendLittleEndian(bytes, static_cast<std::uint32_t>(size.width), 4);
    platform::AppendLittleEndian(bytes, static_cast<std::uint32_t>(size.height), 4);  // positive: bottom row first
    platform::AppendLittleEndian(bytes, kPlanes, 2);
    platform::AppendLittleEndian(bytes, kBitsPerPixel, 2);
    platform::AppendLittleEndian(bytes, kUncompressed, 4);
    platform::AppendLittleEndian(bytes, imageBytes, 4);
    platform::AppendLittleEndian(bytes, kPixelsPerMetre, 4);
    platform::AppendLittleEndian(bytes, kPixelsPerMetre, 4);
    platform::AppendLittleEndian(bytes, 0, 4);  // colours used: all
    platform::AppendLittleEndian(bytes, 0, 4);  // colours important: all
    return bytes;
}

}  // namespace

std::uint64_t SampleBitmapBytes(platform::ScreenSize size) { return kHeaderBytes + PixelBytes(size); }

void WriteSampleBitmap(std::ostream& out, platform::ScreenSize size, Rgb firstColour, Rgb secondColour) {
    const std::array<Rgb, 4> stripes{kBlack, kNearBlack, firstColour, secondColour};
    const int stripeWidth = std::max(1, (size.width + size.height) / kStripesAcross);
    out << Headers(size);
    std::string row(RowBytes(size.width), '\0');
    for (int y = size.height - 1; y >= 0; --y) {
        for (int x = 0; x < size.width; ++x) {
            const Rgb& pixel = stripes[static_cast<std::size_t>((x + y) / stripeWidth) % stripes.size()];
            const std::size_t offset = static_cast<std::size_t>(x) * kBytesPerPixel;
            row[offset] = static_cast<char>(pixel.blue);
            row[offset + 1] = static_cast<char>(pixel.green);
            row[offset + 2] = static_cast<char>(pixel.red);
        }
        out << row;
    }
}

}  // namespace velkor::sim
