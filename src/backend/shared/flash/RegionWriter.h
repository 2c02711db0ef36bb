#pragma once

#include "backend/shared/ErrorState.h"
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
// read back from the disk for the comparison.
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
    // Flushes the region's first `length` bytes to the disk and checks them, read back from the
    // disk: against the expected image's SHA-256 when there is one, otherwise against the image
    // read again from its start. False with the last error set: kCrc when they differ or the
    // image's length is no longer `length`, the file system's code when the image cannot be read,
    // the host's error mapped when the region cannot be flushed or read.
    bool Verify(platform::File& image, std::uint64_t length);

private:
    // Sends the chunk just written at `offset` to the disk while the next one is read, and waits
    // for and drops everything before it: the page cache holds a chunk or two of the region
    // however large the image, and the flush at the end has little left to do.
    bool WriteBack(std::uint64_t offset, std::uint32_t count);
    bool Flush(std::uint64_t length);
    bool CompareWithImage(platform::File& image, std::uint64_t length);
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
    std::vector<char> imageChunk_;
    std::vector<char> readBackChunk_;
};

}  // namespace velkor::shared
