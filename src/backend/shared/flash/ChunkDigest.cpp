#include "backend/shared/flash/ChunkDigest.h"

#include <xxhash.h>

namespace velkor::shared {

ChunkDigest ChunkDigest::Of(std::string_view bytes) {
    const XXH128_hash_t hash = XXH3_128bits(bytes.data(), bytes.size());
    return {hash.low64, hash.high64};
}

std::vector<ChunkDigest> ChunkDigest::OfChunks(std::string_view bytes) {
    std::vector<ChunkDigest> digests;
    for (std::size_t first = 0; first < bytes.size(); first += kDigestedChunkBytes) {
        digests.push_back(Of(bytes.substr(first, kDigestedChunkBytes)));
    }
    return digests;
}

}  // namespace velkor::shared
