#pragma once

#include "update/LogoDarkPixelFix.h"

#include <cstdint>
#include <optional>
#include <span>

namespace velkor::update {

// The bytes of a bitmap file that hold its pixel rows.
struct PixelBlock {
    std::uint64_t offset = 0;
    std::uint32_t bytes = 0;
    PixelRows rows;
};

// The file header, the 40-byte information header and the three colour masks that may follow it.
inline constexpr std::size_t kBitmapHeaderBytes = 14 + 40 + 12;

// The pixel block of a bitmap file whose dark pixels can be lifted in place: an uncompressed
// 24-bit bitmap, or a 16-bit one with 5-5-5 colour fields, stored bottom-up, with a positive
// width, and rows that lie between the headers and the end of the file. `headers` holds the
// first bytes of the file (up to kBitmapHeaderBytes), `fileLength` its real length. Nothing for
// any other file, whatever its header claims.
std::optional<PixelBlock> FindPixelBlock(std::span<const std::uint8_t> headers, std::uint64_t fileLength);

}  // namespace velkor::update
