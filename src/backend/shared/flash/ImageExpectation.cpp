#include "backend/shared/flash/ImageExpectation.h"

#include <fmt/format.h>

namespace velkor::shared {

ImageExpectation::ImageExpectation(const platform::ExpectedImage& image) : image_(image) {}

bool ImageExpectation::Streamed(const char* data, std::size_t size) {
    if (!Admit(size)) {
        return false;
    }
    HashStreamed(data, size);
    return true;
}

bool ImageExpectation::Admit(std::size_t size) {
    if (streamed_.size + size > image_.size) {
        mismatch_ = fmt::format("streamed more than the {} bytes the card lists", image_.size);
        return false;
    }
    streamed_.size += size;
    return true;
}

void ImageExpectation::HashStreamed(const char* data, std::size_t size) { streamed_.hash.Update(data, size); }

bool ImageExpectation::StreamMatches() { return Matches(streamed_, "streamed"); }

void ImageExpectation::ReadBack(const char* data, std::size_t size) {
    readBack_.size += size;
    readBack_.hash.Update(data, size);
}

bool ImageExpectation::ReadBackMatches() { return Matches(readBack_, "read back"); }

void ImageExpectation::ReadBackDiffers(std::uint64_t offset, std::uint32_t size) {
    mismatch_ = fmt::format("the {} bytes read back at {} are not the ones streamed there", size, offset);
}

bool ImageExpectation::Matches(Tally& tally, std::string_view what) {
    const platform::Sha256Digest digest = tally.hash.Finish();
    if (tally.size == image_.size && digest == image_.sha256) {
        return true;
    }
    mismatch_ = fmt::format("{} {} bytes with SHA-256 {}, the card lists {} bytes with SHA-256 {}", what, tally.size,
                            platform::DigestHex(digest), image_.size, platform::DigestHex(image_.sha256));
    return false;
}

}  // namespace velkor::shared
