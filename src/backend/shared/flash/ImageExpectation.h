#pragma once

#include "platform/ChunkTags.h"
#include "platform/DeviceTrust.h"
#include "platform/Sha256.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::shared {

// What one write of a listed image is held to: what the approved card lists for it. The writer feeds
// it the bytes it streams from the image, which must come to the listed size and to the tags the card
// check took of the image's chunks (the check held the same bytes to the listed SHA-256, so the stream
// is not hashed with it again), and the bytes it reads back, which must come to the listed size and
// SHA-256.
class ImageExpectation {
public:
    explicit ImageExpectation(const platform::ExpectedImage& image);

    // False, without taking them, once the bytes would run past the listed size.
    bool Streamed(const char* data, std::size_t size);
    // Streamed in two steps, so that the hashing may run beside other work: Admit counts `size`
    // bytes more, false once they would run past the listed size; HashStreamed then takes them.
    bool Admit(std::size_t size);
    void HashStreamed(const char* data, std::size_t size);
    // At the end of the stream: whether it was the listed image.
    bool StreamMatches();
    void ReadBack(const char* data, std::size_t size);
    // At the end of the read-back: whether it was the listed image.
    bool ReadBackMatches();
    // A writer's read-back found `size` bytes at `offset` of its region other than it streamed.
    void ReadBackDiffers(std::uint64_t offset, std::uint32_t size);

    // Why the bytes are not the listed ones ("streamed 12 bytes, the card lists 13"); empty while
    // they are.
    const std::string& Mismatch() const { return mismatch_; }

private:
    // Bytes seen, and their hash so far.
    struct Tally {
        std::uint64_t size = 0;
        platform::Sha256 hash;
    };

    bool Matches(Tally& tally, std::string_view what);

    platform::ExpectedImage image_;
    std::uint64_t streamedSize_ = 0;
    // Tags what is streamed under the check's key; none when the check took no tags.
    std::optional<platform::ChunkTagger> streamTags_;
    Tally readBack_;
    std::string mismatch_;
};

}  // namespace velkor::shared
