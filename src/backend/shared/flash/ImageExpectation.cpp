#include "backend/shared/flash/ImageExpectation.h"

#include <fmt/format.h>

#include <algorithm>
#include <vector>

namespace velkor::shared {

ImageExpectation::ImageExpectation(const platform::ExpectedImage& image) : image_(image) {
    if (image_.chunks.key) {
        streamTags_.emplace(*image_.chunks.key);
    }
}

bool ImageExpectation::Streamed(const char* data, std::size_t size) {
    if (!Admit(size)) {
        return false;
    }
    HashStreamed(data, size);
    return true;
}

bool ImageExpectation::Admit(std::size_t size) {
    if (streamedSize_ + size > image_.size) {
        mismatch_ = fmt::format("streamed more than the {} bytes the card lists", image_.size);
        return false;
    }
    streamedSize_ += size;
    return true;
}

void ImageExpectation::HashStreamed(const char* data, std::size_t size) {
    if (streamTags_) {
        streamTags_->Update(data, size);
    }
}

bool ImageExpectation::StreamMatches() {
    if (!streamTags_) {
        mismatch_ = "the card check took no tags of its chunks";
        return false;
    }
    if (streamedSize_ != image_.size) {
        mismatch_ = fmt::format("streamed {} bytes, the card lists {}", streamedSize_, image_.size);
        return false;
    }
    const std::vector<platform::ChunkTag> tags = streamTags_->Finish();
    const auto [streamed, checked] = std::mismatch(tags.begin(), tags.end(), image_.chunks.tags.begin(),
                                                   image_.chunks.tags.end());
    if (streamed == tags.end() && checked == image_.chunks.tags.end()) {
        return true;
    }
    const auto chunk = static_cast<std::uint64_t>(streamed - tags.begin());
    mismatch_ = fmt::format("the chunk streamed at {} is not the one the card check read there",
                            chunk * platform::kTaggedChunkBytes);
    return false;
}

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
