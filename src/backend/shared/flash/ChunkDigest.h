#pragma once

#include <cstdint>
#include <string_view>

namespace velkor::shared {

// What proves a chunk read back from the medium to be the bytes streamed into it: XXH3's 128-bit
// hash of each. The stream itself is held to the card's SHA-256 as it is read; the read-back only
// has to tell whether the medium kept what it was given, which the medium's own faults (a lost or
// torn write, a stale block, a flipped bit) cannot make collide but by a chance of 2^-128, at a
// tenth of SHA-256's cost a byte.
struct ChunkDigest {
    std::uint64_t low = 0;
    std::uint64_t high = 0;

    static ChunkDigest Of(std::string_view bytes);

    bool operator==(const ChunkDigest&) const = default;
};

}  // namespace velkor::shared
