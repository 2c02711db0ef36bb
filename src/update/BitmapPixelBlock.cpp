#include "update/BitmapPixelBlock.h"

#include "platform/LittleEndian.h"

#include <algorithm>
#include <array>
#include <limits>

namespace velkor::update {
namespace {

using platform::Read16;
using platform::Read32;

constexpr std::uint16_t kBitmapSignature = 0x4D42;  // "BM"
constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::uint32_t kInfoHeaderBytes = 40;
constexpr std::uint32_t kUncompressed = 0;
constexpr std::uint32_t kColourMasks = 3;
constexpr std::array<std::uint32_t, 3> kMasks555{0x7C00, 0x03E0, 0x001F};

// Where the fields lie, from the start of the file.
enum Field : std::size_t {
    kSignature = 0,
    kPixelOffset = 10,
    kInfoSize = 14,
    kWidth = 18,
    kHeight = 22,
    kBitsPerPixel = 28,
    kCompression = 30,
    kFirstMask = 54,  // after a 40-byte information header, or inside a larger one
};

bool HasMasks555(std::span<const std::uint8_t> headers) {
    if (headers.size() < kFirstMask + 4 * kMasks555.size()) {
        return false;
    }
    for (std::size_t index = 0; index < kMasks555.size(); ++index) {
        if (Read32(headers, kFirstMask + 4 * index) != kMasks555[index]) {
            return false;
        }
    }
    return true;
}

// Only these layouts keep black at all-zero colour fields, which the rule rewrites.
bool HasLiftableLayout(std::span<const std::uint8_t> headers, std::uint16_t bitsPerPixel, std::uint32_t compression) {
    switch (bitsPerPixel) {
        case 24:
            return compression == kUncompressed;
        case 16:
            return compression == kUncompressed || (compression == kColourMasks && HasMasks555(headers));
        default:
            return false;
    }
}

// The first byte after the headers and any colour masks.
std::uint64_t HeadersEnd(std::uint32_t infoSize, std::uint32_t compression) {
    const bool masksAfterHeader = compression == kColourMasks && infoSize == kInfoHeaderBytes;
    return kFileHeaderBytes + std::uint64_t{infoSize} + (masksAfterHeader ? 12 : 0);
}

}  // namespace

std::optional<PixelBlock> FindPixelBlock(std::span<const std::uint8_t> headers, std::uint64_t fileLength) {
    if (headers.size() < kFileHeaderBytes + kInfoHeaderBytes || Read16(headers, kSignature) != kBitmapSignature) {
        return std::nullopt;
    }
    const std::uint32_t infoSize = Read32(headers, kInfoSize);
    const auto width = static_cast<std::int32_t>(Read32(headers, kWidth));
    const auto height = static_cast<std::int32_t>(Read32(headers, kHeight));
    const std::uint16_t bitsPerPixel = Read16(headers, kBitsPerPixel);
    const std::uint32_t compression = Read32(headers, kCompression);
    const std::uint64_t offset = Read32(headers, kPixelOffset);
    if (infoSize < kInfoHeaderBytes || width <= 0 || height <= 0 ||
        !HasLiftableLayout(headers, bitsPerPixel, compression) || offset < HeadersEnd(infoSize, compression) ||
        offset > fileLength) {
        return std::nullopt;
    }
    // At most 24 x (2^31 - 1) bits, so the row size cannot overflow; the block is checked by division.
    const std::uint64_t rowBytes = (std::uint64_t{bitsPerPixel} * std::uint64_t(width) + 31) / 32 * 4;
    const std::uint64_t available = std::min<std::uint64_t>(fileLength - offset, std::numeric_limits<std::uint32_t>::max());
    if (rowBytes > available / std::uint64_t(height)) {
        return std::nullopt;
    }
    return PixelBlock{offset, static_cast<std::uint32_t>(rowBytes * std::uint64_t(height)),
                      PixelRows{width, bitsPerPixel, static_cast<std::size_t>(rowBytes)}};
}

}  // namespace velkor::update
