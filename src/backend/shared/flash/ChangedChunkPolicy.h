#pragma once

#include <cstdint>

namespace velkor::shared {

// Decides, chunk by chunk, whether comparing the image with what the region already holds still
// pays. An equal chunk is not written, which saves a write for each one; a different chunk costs
// a read of the region for nothing. Once a stretch of chunks in a row all differed, the region
// holds something else from there on (a new image, an erased or fresh region), and the rest is
// written without comparing, so an image that differs everywhere pays for that stretch alone.
class ChangedChunkPolicy {
public:
    // Chunks in a row that differ before comparing stops for the rest of the image.
    static constexpr std::uint32_t kChangedStretch = 8;

    bool Comparing() const { return changedInRow_ < kChangedStretch; }
    // After a comparison: whether the chunk was equal to the region's.
    void Compared(bool equal) { changedInRow_ = equal ? 0 : changedInRow_ + 1; }

private:
    std::uint32_t changedInRow_ = 0;
};

}  // namespace velkor::shared
