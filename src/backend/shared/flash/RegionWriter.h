#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/flash/AlignedBuffer.h"
#include "backend/shared/flash/ChangedChunkPolicy.h"
#include "backend/shared/flash/ChunkDigest.h"
#include "backend/shared/flash/ImageExpectation.h"
#include "backend/shared/flash/DirectMedium.h"
#include "platform/File.h"

#include <array>
#include <cstdint>
#include <functional>
#include <future>
#include <optional>
#include <span>
#include <vector>

namespace velkor::shared {

// Programs a flash region that is already open for reading and writing (a host file or a block
// device) with an image, and verifies it. The image streams through fixed requests of a few chunks,
// so memory does not grow with its size; the region is written in place from its start, past the
// host's cache where the medium takes it, flushed to the disk and checked against what was
// streamed. A chunk the region already holds is not written (ChangedChunkPolicy says how long that
// is looked for). Every chunk is proven from a read of the medium: a chunk found equal by a direct
// read (past the host's cache) needs no other; every other chunk is read back after the flush and
// held to the ChunkDigest of what was streamed for it. Hashing runs on a second thread, each request's
// beside the I/O of the same request, so that it costs no time where the disk is the slower.
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
    // from the disk each chunk not yet proven there, held to the ChunkDigest of the bytes Write
    // streamed for it, so the image is not read a second time. With the stream held to the
    // expected image, the region then holds that image. False with the last error set: kCrc when a
    // chunk differs, the host's error mapped when the region cannot be flushed or read.
    bool Verify(std::uint64_t length);

    // The bytes Write really wrote to the region; chunks the region already held are not counted.
    std::uint64_t BytesWritten() const { return bytesWritten_; }
    // After Write: the ChunkDigest of each chunk of the image streamed, which Verify proves the
    // region holds.
    const std::vector<ChunkDigest>& ImageChunks() const { return imageChunks_; }

private:
    // A chunk written (or found equal through the cache) that the read-back still has to prove.
    struct ChunkToProve {
        std::uint64_t offset;
        std::uint32_t count;
        ChunkDigest streamed;
    };
    // What becomes of each chunk of a request.
    enum class ChunkFate {
        // Found equal by a direct read: proven on the medium already.
        kHeld,
        // Found equal through the cache: read back after the flush.
        kHeldInCache,
        kWrite,
    };
    // What is compared, skipped and proven at once; large requests of them keep the disk streaming.
    static constexpr std::uint32_t kChunkBytes = kDigestedChunkBytes;
    static constexpr std::uint32_t kChunksARequest = 8;
    static constexpr std::uint32_t kRequestBytes = kChunksARequest * kChunkBytes;
    using RequestPlan = std::array<ChunkFate, kChunksARequest>;
    using RequestDigests = std::vector<ChunkDigest>;
    // A request whose hashing runs on the second thread while the next one is read.
    struct HashingRequest {
        std::future<RequestDigests> digests;
        std::uint64_t offset = 0;
        std::uint32_t count = 0;
        RequestPlan plan{};
    };

    // A run of adjacent chunks to prove, `first`..`end` of the list, `readBack` bytes of it read
    // back into `bytes`.
    struct ReadBackRequest {
        const AlignedBuffer& bytes;
        std::size_t first = 0;
        std::size_t end = 0;
        std::uint64_t readBack = 0;
    };

    // Starts reading the region's request at `offset` for the comparison, while that still pays:
    // the bytes read, or minus the errno.
    std::future<std::int64_t> StartRegionRead(std::uint64_t offset);
    // Fills `request` from the image; its byte count, 0 at the image's end, nothing on failure.
    std::optional<std::uint32_t> ReadImage(platform::File& image, const AlignedBuffer& request, std::uint64_t offset);
    // The end of the image: the stream held to the expectation; the image's length.
    std::optional<std::uint64_t> Finished(std::uint64_t length);
    // Which chunks of the request at `offset` the region holds already, from `regionRead` when it
    // was started; nothing on failure.
    std::optional<RequestPlan> PlanRequest(const AlignedBuffer& request, std::uint32_t count, std::uint64_t offset,
                                           std::future<std::int64_t>& regionRead);
    // Whether the region's chunk at `first` in the request (`held` bytes of the request read)
    // equals the image's `count` bytes.
    bool Holds(const char* image, std::uint32_t count, std::uint64_t held, std::uint32_t first, std::uint64_t offset);
    // Holds the request to the expectation and hashes each of its chunks.
    RequestDigests HashRequest(const AlignedBuffer& request, std::uint32_t count);
    // Waits for the request's hashes, keeps them, and lists its chunks for the read-back.
    void CollectDigests(HashingRequest& hashing);
    // Writes each run of adjacent chunks the plan says to write in one request.
    bool WriteChunks(const AlignedBuffer& request, std::uint32_t count, std::uint64_t offset, const RequestPlan& plan);
    // Sends the bytes up to `end` to the disk, and waits for and drops from the cache everything
    // more than kInFlightBytes before it: several MiB stream to the disk at once, the page cache
    // holds no more than that of the region however large the image, and the flush at the end has
    // little left to do. Direct writes left nothing in the cache and cost these calls nothing.
    bool WriteBack(std::uint64_t offset, std::uint32_t count);
    bool Flush(std::uint64_t length);
    // Reads back the chunks to prove, several adjacent ones a request, each request checked on the
    // second thread while the next is read.
    bool ProveWrittenChunks();
    // Reads the chunks `first`..`end` (adjacent) into `buffer`; the bytes read, -1 with errno set.
    std::int64_t ReadRun(std::size_t first, std::size_t end, const AlignedBuffer& buffer);
    // The end of the run of adjacent chunks to prove from `first`, a request's worth at most.
    std::size_t RunEnd(std::size_t first) const;
    // The first chunk of the request's run that differs from what was streamed for it; the run's
    // end when none does.
    std::size_t FirstDiffering(const ReadBackRequest& request) const;
    bool ReadBackDiffers(std::size_t chunk);
    // Drops the cached pages of `length` bytes of the region from `offset`, all of them for 0.
    bool DropCachedPages(std::uint64_t offset, std::uint64_t length);
    bool ErrnoFailure(int errnoValue);

    int region_;
    std::uint64_t capacity_;
    ErrorState& errors_;
    Hooks hooks_;
    ImageExpectation* expectation_;
    DirectMedium medium_;
    // 16 bytes a chunk of the image, so this grows by 1/65536 of it.
    std::vector<ChunkDigest> imageChunks_;
    ChangedChunkPolicy changedChunks_;
    std::uint64_t bytesWritten_ = 0;
    // Everything before it reached the disk and left the cache.
    std::uint64_t settled_ = 0;
    // The chunks not found equal on the medium, each with its digest.
    std::vector<ChunkToProve> toProve_;
    // Two, so that one is read while the other is still hashed.
    std::array<AlignedBuffer, 2> imageRequests_;
    // The region's bytes, compared before a write or read back after it.
    AlignedBuffer regionRequest_;
};

}  // namespace velkor::shared
