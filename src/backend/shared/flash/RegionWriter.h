#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/flash/ChangedChunkPolicy.h"
#include "backend/shared/flash/ImageExpectation.h"
#include "platform/File.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace velkor::shared {

// Programs a flash region that is already open for reading and writing (a host file or a block
// device) with an image, and verifies it. The image streams through fixed chunks, so memory does
// not grow with its size; the region is written in place from its start, flushed to the disk and
// read back from the disk for the comparison. A chunk the region already holds is not written
// (ChangedChunkPolicy says how long that is looked for), but it is read back like every other.
class RegionWriter {
public:
    // Sees each chunk read back from the region, with its offset, before it is compared.
    using ReadBackHook = std::function<void(std::span<char> chunk, std::uint64_t offset)>;

    // What a backend may watch as the writer works; each is optional.
    struct Hooks {
        ReadBackHook readBack;
        // Before `count` bytes are written at `offset`.
        std::function<void(std::uint64_t offset, std::uint32_t count)> writing;
        // After everything written so far reached the medium.
        std::function<void()> flushed;
    };

    // `region` stays open, and owned by the caller, while the writer works on it; `capacity` is
    // the region's size in bytes. With an `expectation` (an image the approved card lists), the
    // bytes streamed and read back are fed to it and held to it.
    RegionWriter(int region, std::uint64_t capacity, ErrorState& errors, Hooks hooks = {},
                 ImageExpectation* expectation = nullptr);

    // Writes the image from its current position to its end; answers how many bytes that was.
    // Nothing, with the last error set, when the image cannot be read (the file system's code),
    // grew past the region (kDiskFull), the region cannot be written (the host's error mapped), or
    // the bytes streamed are not the expected image (kCrc; a chunk that would run past its listed
    // size is not written).
    std::optional<std::uint64_t> Write(platform::File& image);
    // Flushes the region's first `length` bytes (what Write answered) to the disk and checks them,
    // read back from the disk: against the expected image's SHA-256 when there is one, otherwise
    // against the SHA-256 of the bytes Write streamed, so the image is not read a second time.
    // False with the last error set: kCrc when they differ, the host's error mapped when the
    // region cannot be flushed or read.
    bool Verify(std::uint64_t length);

    // The bytes Write really wrote to the region; chunks the region already held are not counted.
    std::uint64_t BytesWritten() const { return bytesWritten_; }

private:
    // Writes the chunk in the image chunk at `offset`, unless the region holds it already.
    bool Program(std::uint32_t count, std::uint64_t offset);
    // Whether the region's `count` bytes at `offset` equal the image chunk; -1 with errno set.
    int HoldsAlready(std::uint32_t count, std::uint64_t offset);
    // Sends the bytes up to `end` to the disk, and waits for and drops from the cache everything
    // more than kInFlightBytes before it: several MiB stream to the disk at once, the page cache
    // holds no more than that of the region however large the image, and the flush at the end has
    // little left to do.
    bool WriteBack(std::uint64_t offset, std::uint32_t count);
    bool Flush(std::uint64_t length);
    bool CheckReadBackHash(std::uint64_t length);
    // Drops the cached pages of `length` bytes of the region from `offset`, all of them for 0.
    bool DropCachedPages(std::uint64_t offset, std::uint64_t length);
    // Reads `count` bytes of the region at `offset` into the read-back chunk; fewer at its end.
    std::int64_t ReadBack(std::uint32_t count, std::uint64_t offset);
    bool ErrnoFailure(int errnoValue);

    int region_;
    std::uint64_t capacity_;
    ErrorState& errors_;
    Hooks hooks_;
    ImageExpectation* expectation_;
    // Holds the hash of the streamed bytes when no approved card lists the image.
    std::optional<ImageExpectation> streamed_;
    platform::Sha256 streamedHash_;
    ChangedChunkPolicy changedChunks_;
    std::uint64_t bytesWritten_ = 0;
    // Everything before it reached the disk and left the cache.
    std::uint64_t settled_ = 0;
    std::vector<char> imageChunk_;
    // The region's bytes, compared before a write or read back after it.
    std::vector<char> readBackChunk_;
};

}  // namespace velkor::shared
