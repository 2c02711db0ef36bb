#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/flash/AlignedBuffer.h"
#include "backend/shared/flash/ChangedChunkPolicy.h"
#include "backend/shared/flash/ImageExpectation.h"
#include "backend/shared/flash/MediumReader.h"
#include "platform/File.h"
#include "platform/Sha256.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace velkor::shared {

// Programs a flash region that is already open for reading and writing (a host file or a block
// device) with an image, and verifies it. The image streams through fixed requests of a few chunks,
// so memory does not grow with its size; the region is written in place from its start, flushed to
// the disk and checked against what was streamed. A chunk the region already holds is not written
// (ChangedChunkPolicy says how long that is looked for). Every chunk is proven from a read of the
// medium: a chunk found equal by a direct read (past the host's cache) needs no other; every other
// chunk is read back after the flush and held to the SHA-256 of what was streamed for it.
class RegionWriter {
public:
    // Sees each chunk read from the region, with its offset, before it is compared.
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
    // bytes streamed are held to it, and a chunk that reads back otherwise is named to it.
    RegionWriter(int region, std::uint64_t capacity, ErrorState& errors, Hooks hooks = {},
                 ImageExpectation* expectation = nullptr);

    // Writes the image from its current position to its end; answers how many bytes that was.
    // Nothing, with the last error set, when the image cannot be read (the file system's code),
    // grew past the region (kDiskFull), the region cannot be written (the host's error mapped), or
    // the bytes streamed are not the expected image (kCrc; a chunk that would run past its listed
    // size is not written).
    std::optional<std::uint64_t> Write(platform::File& image);
    // Flushes the region's first `length` bytes (what Write answered) to the disk and reads back
    // from the disk each chunk not yet proven there, held to the SHA-256 of the bytes Write
    // streamed for it, so the image is not read a second time. With the stream held to the
    // expected image, the region then holds that image. False with the last error set: kCrc when a
    // chunk differs, the host's error mapped when the region cannot be flushed or read.
    bool Verify(std::uint64_t length);

    // The bytes Write really wrote to the region; chunks the region already held are not counted.
    std::uint64_t BytesWritten() const { return bytesWritten_; }
    // After Write: the SHA-256 of the whole image streamed, which Verify proves the region holds.
    const platform::Sha256Digest& ImageDigest() const { return imageDigest_; }

private:
    // A chunk written (or found equal through the cache) that the read-back still has to prove.
    struct ChunkToProve {
        std::uint64_t offset;
        std::uint32_t count;
        platform::Sha256Digest streamed;
    };

    // Fills the image request from the image; its byte count, 0 at the image's end, nothing on failure.
    std::optional<std::uint32_t> ReadImage(platform::File& image, std::uint64_t offset);
    // The end of the image: the stream held to the expectation; the image's length.
    std::optional<std::uint64_t> Finished(std::uint64_t length);
    // Writes the chunks of the image request at `offset` that the region does not hold already.
    bool ProgramRequest(std::uint32_t count, std::uint64_t offset);
    // Whether the region's chunk (`held` bytes of it read) equals the image's; it is proven on the
    // medium when it does and the read was direct.
    bool Holds(std::uint32_t first, std::uint32_t count, std::uint64_t held, std::uint64_t offset);
    bool WriteChunk(std::uint32_t first, std::uint32_t count, std::uint64_t offset);
    // Sends the bytes up to `end` to the disk, and waits for and drops from the cache everything
    // more than kInFlightBytes before it: several MiB stream to the disk at once, the page cache
    // holds no more than that of the region however large the image, and the flush at the end has
    // little left to do.
    bool WriteBack(std::uint64_t offset, std::uint32_t count);
    bool Flush(std::uint64_t length);
    // Reads back the chunks to prove, several adjacent ones a request.
    bool ProveWrittenChunks();
    bool ProveChunks(std::size_t first, std::size_t end);
    // Drops the cached pages of `length` bytes of the region from `offset`, all of them for 0.
    bool DropCachedPages(std::uint64_t offset, std::uint64_t length);
    bool ErrnoFailure(int errnoValue);

    int region_;
    std::uint64_t capacity_;
    ErrorState& errors_;
    Hooks hooks_;
    ImageExpectation* expectation_;
    MediumReader medium_;
    // The whole image's hash, taken where no approved card lists the image.
    platform::Sha256 streamedHash_;
    platform::Sha256Digest imageDigest_{};
    ChangedChunkPolicy changedChunks_;
    std::uint64_t bytesWritten_ = 0;
    // Everything before it reached the disk and left the cache.
    std::uint64_t settled_ = 0;
    // 32 bytes of hash a chunk, so the read-back memory grows by 1/32768 of the image at most.
    std::vector<ChunkToProve> toProve_;
    AlignedBuffer imageRequest_;
    // The region's bytes, compared before a write or read back after it.
    AlignedBuffer regionRequest_;
};

}  // namespace velkor::shared
