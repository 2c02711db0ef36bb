#pragma once

#include "platform/File.h"
#include "sim/ErrorState.h"
#include "sim/UniqueFd.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace velkor::sim {

// Programs one flash region, a host file in DIR/flash, with an image and verifies it. The image
// streams through fixed chunks, so memory does not grow with its size; the region is written in
// place, cut to the image's length, flushed to disk and read back from the disk for comparison.
class RegionProgrammer {
public:
    // `capacity` is the region's size in bytes. `readBackDiffers` corrupts what is read back.
    RegionProgrammer(std::filesystem::path regionFile, std::uint64_t capacity, bool readBackDiffers,
                     ErrorState& errors);

    // True when the whole image was written, flushed and read back equal. Otherwise false with the
    // last error set: kDiskFull for an image larger than the region (the region is then left
    // alone), kCrc when the read-back differs, the file system's code when the image cannot be
    // read, and the host's error mapped when the region cannot be written.
    bool Program(platform::File& image);

private:
    UniqueFd OpenRegion();
    // `length` is how much of the image has been written.
    bool WriteImage(platform::File& image, int region, std::uint64_t& length);
    // Sends the chunk just written at `offset` to the disk while the next one is read, and waits
    // for and drops everything before it: the page cache holds a chunk or two of the region
    // however large the image, and the flush at the end has little left to do.
    bool WriteBack(int region, std::uint64_t offset, std::uint32_t count);
    bool Flush(int region, std::uint64_t length);
    // Drops the cached pages of the region's first `length` bytes, all of them for 0.
    bool DropCachedPages(int region, std::uint64_t length);
    bool Verify(platform::File& image, int region, std::uint64_t length);
    // Reads `count` bytes of the region at `offset` into the read-back chunk; fewer at its end.
    std::int64_t ReadBack(int region, std::uint32_t count, std::uint64_t offset);
    bool HostFailure(int hostError);

    std::filesystem::path regionFile_;
    std::uint64_t capacity_;
    bool readBackDiffers_;
    ErrorState& errors_;
    std::vector<char> imageChunk_;
    std::vector<char> readBackChunk_;
};

}  // namespace velkor::sim
