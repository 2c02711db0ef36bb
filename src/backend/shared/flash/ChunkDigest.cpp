#include "backend/shared/flash/ChunkDigest.h"

#include <xxhash.h>

namespace velkor::shared {

ChunkDigest ChunkDigest::Of(std::string_view bytes) {
    const XXH128_hash_t hash = XXH3_128bits(bytes.data(), bytes.size());
    return {hash.low64, hash.high64};
}

}  // namespace velkor::shared
