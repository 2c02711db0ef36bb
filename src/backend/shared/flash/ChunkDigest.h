#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace velkor::shared {

// What one digest covers: the region writer's chunk, from each multiple of it, the last one shorter.
inline constexpr std::uint32_t kDigestedChunkBytes = 1024 * 1024;

// What proves a chunk read from the medium to be the bytes streamed into it: XXH3's 128-bit hash of
// each. The stream itself is held to the card (ImageExpectation) as it is read; the read-back and
// the re-read before a commit only have to tell whether the medium kept what it was given, which
// the medium's own faults (a lost or torn write, a stale block, a flipped bit) and a tool that
// touched it since (a mount writing its superblock) cannot make collide but by a chance of 2^-128,
// at a tenth of SHA-256's cost a byte.
struct ChunkDigest {
    std::uint64_t low = 0;
    std::uint64_t high = 0;

    static ChunkDigest Of(std::string_view bytes);
    // The digest of each chunk of `bytes`, which start at a chunk's start.
    static std::vector<ChunkDigest> OfChunks(std::string_view bytes);

    bool operator==(const ChunkDigest&) const = default;
};

}  // namespace velkor::shared
