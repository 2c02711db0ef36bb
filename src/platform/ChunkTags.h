#pragma once

#include <openssl/types.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace velkor::platform {

// What one tag covers: an image's bytes from each multiple of it, the last chunk shorter.
inline constexpr std::uint32_t kTaggedChunkBytes = 1024 * 1024;

using ChunkTag = std::array<std::uint8_t, 16>;

// A key that tags the chunks of one image (GMAC under AES-128, from OpenSSL), drawn at random when
// it is made and held only in this process's memory. A card cannot be made to match tags it never
// saw under a key it cannot know: a stream whose chunks come to the tags the card check took is the
// stream the check read, at a fraction of SHA-256's cost a byte.
class ChunkKey {
public:
    // Throws when the random generator or GMAC is not available.
    ChunkKey();

private:
    friend class ChunkTagger;

    struct MacFree {
        void operator()(EVP_MAC* mac) const;
    };

    std::array<std::uint8_t, 16> key_{};
    std::unique_ptr<EVP_MAC, MacFree> mac_;
};

// The tags of an image's chunks under its key, as the card check read them.
struct ChunkTags {
    std::shared_ptr<const ChunkKey> key;
    std::vector<ChunkTag> tags;

    bool operator==(const ChunkTags&) const = default;
};

// Tags a stream under a key chunk by chunk, however its bytes arrive. Each chunk has its own nonce
// (its index), so no two chunks of the stream share one.
class ChunkTagger {
public:
    // `key` outlives the tagger.
    explicit ChunkTagger(const ChunkKey& key);

    void Update(const char* data, std::size_t size);
    // Every chunk's tag, the last, shorter one included; the tagger takes nothing more afterwards.
    std::vector<ChunkTag> Finish();

private:
    struct ContextFree {
        void operator()(EVP_MAC_CTX* context) const;
    };

    void StartChunk();
    void EndChunk();

    const ChunkKey& key_;
    std::unique_ptr<EVP_MAC_CTX, ContextFree> context_;
    std::uint32_t inChunk_ = 0;
    std::vector<ChunkTag> tags_;
};

}  // namespace velkor::platform
