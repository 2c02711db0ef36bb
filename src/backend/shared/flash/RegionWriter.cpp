#include "backend/shared/flash/RegionWriter.h"

#include "backend/shared/ErrnoErrors.h"
#include "backend/shared/FullWrite.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace velkor::shared {
namespace {

namespace error = platform::error;

constexpr std::uint32_t kChunkBytes = 1024 * 1024;
// How much of the region may be on its way to the disk at once.
constexpr std::uint64_t kInFlightBytes = 8 * kChunkBytes;

// Reads `count` bytes at `offset`, fewer only at the end of the file; -1 with errno set.
ssize_t ReadAt(int fd, char* data, std::size_t count, std::uint64_t offset) {
    std::size_t total = 0;
    while (total < count) {
        const ssize_t got = ::pread(fd, data + total, count - total, static_cast<off_t>(offset + total));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return got < 0 ? -1 : static_cast<ssize_t>(total);
        }
        total += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(total);
}

}  // namespace

RegionWriter::RegionWriter(int region, std::uint64_t capacity, ErrorState& errors, Hooks hooks,
                           ImageExpectation* expectation)
    : region_(region),
      capacity_(capacity),
      errors_(errors),
      hooks_(std::move(hooks)),
      expectation_(expectation),
      imageChunk_(kChunkBytes),
      readBackChunk_(kChunkBytes) {}

std::optional<std::uint64_t> RegionWriter::Write(platform::File& image) {
    std::uint64_t length = 0;
    for (;;) {
        std::uint32_t count = 0;
        if (!image.Read(imageChunk_.data(), kChunkBytes, count)) {
            return std::nullopt;
        }
        if (count == 0 && expectation_ && !expectation_->StreamMatches()) {
            errors_.Fail(error::kCrc);
            return std::nullopt;
        }
        if (count == 0) {
            if (!expectation_) {
                // The read-back is then held to what was streamed, without reading the image again.
                expectation_ = &streamed_.emplace(platform::ExpectedImage{{}, length, streamedHash_.Finish(), {}});
            }
            return length;
        }
        // The image may have grown since it was measured; the region still ends where it ends.
        if (length + count > capacity_) {
            errors_.Fail(error::kDiskFull);
            return std::nullopt;
        }
        if (expectation_ && !expectation_->Streamed(imageChunk_.data(), count)) {
            errors_.Fail(error::kCrc);
            return std::nullopt;
        }
        if (!expectation_) {
            streamedHash_.Update(imageChunk_.data(), count);
        }
        if (!Program(count, length)) {
            return std::nullopt;
        }
        length += count;
    }
}

bool RegionWriter::Program(std::uint32_t count, std::uint64_t offset) {
    if (changedChunks_.Comparing()) {
        const int held = HoldsAlready(count, offset);
        if (held < 0) {
            return ErrnoFailure(errno);
        }
        changedChunks_.Compared(held == 1);
        if (held == 1) {
            return WriteBack(offset, count);
        }
    }
    if (hooks_.writing) {
        hooks_.writing(offset, count);
    }
    if (!WriteFullyAt(region_, std::string_view(imageChunk_.data(), count), offset)) {
        return ErrnoFailure(errno);
    }
    bytesWritten_ += count;
    return WriteBack(offset, count);
}

int RegionWriter::HoldsAlready(std::uint32_t count, std::uint64_t offset) {
    const ssize_t held = ReadAt(region_, readBackChunk_.data(), count, offset);
    if (held < 0) {
        return -1;
    }
    return held == static_cast<ssize_t>(count) && std::equal(imageChunk_.begin(), imageChunk_.begin() + count, readBackChunk_.begin());
}

bool RegionWriter::WriteBack(std::uint64_t offset, std::uint32_t count) {
    constexpr unsigned kWaitForAll = SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
    if (::sync_file_range(region_, static_cast<off_t>(offset), count, SYNC_FILE_RANGE_WRITE) != 0) {
        return ErrnoFailure(errno);
    }
    const std::uint64_t end = offset + count;
    if (end <= settled_ + kInFlightBytes) {
        return true;
    }
    const std::uint64_t settle = end - kInFlightBytes;
    if (::sync_file_range(region_, static_cast<off_t>(settled_), static_cast<off_t>(settle - settled_), kWaitForAll) !=
        0) {
        return ErrnoFailure(errno);
    }
    if (!DropCachedPages(settled_, settle - settled_)) {
        return false;
    }
    settled_ = settle;
    return true;
}

bool RegionWriter::Flush(std::uint64_t length) {
    if (::fdatasync(region_) != 0) {
        return ErrnoFailure(errno);
    }
    if (hooks_.flushed) {
        hooks_.flushed();
    }
    // Without the cached pages the read-back has to come from the disk.
    if (!DropCachedPages(0, length)) {
        return false;
    }
    // A larger read-ahead for the read-back, which goes through the region once from its start.
    const int adviceError = ::posix_fadvise(region_, 0, static_cast<off_t>(length), POSIX_FADV_SEQUENTIAL);
    return adviceError == 0 || ErrnoFailure(adviceError);
}

bool RegionWriter::DropCachedPages(std::uint64_t offset, std::uint64_t length) {
    const int adviceError =
        ::posix_fadvise(region_, static_cast<off_t>(offset), static_cast<off_t>(length), POSIX_FADV_DONTNEED);
    if (adviceError != 0) {
        return ErrnoFailure(adviceError);
    }
    return true;
}

bool RegionWriter::Verify(std::uint64_t length) { return Flush(length) && CheckReadBackHash(length); }

// The region must hold the listed (or streamed) bytes, whatever the image holds by now.
bool RegionWriter::CheckReadBackHash(std::uint64_t length) {
    for (std::uint64_t offset = 0; offset < length;) {
        const auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(kChunkBytes, length - offset));
        const std::int64_t readBack = ReadBack(count, offset);
        if (readBack < 0) {
            return ErrnoFailure(errno);
        }
        if (readBack != count) {
            return errors_.Fail(error::kCrc);
        }
        expectation_->ReadBack(readBackChunk_.data(), count);
        offset += count;
    }
    if (!expectation_->ReadBackMatches()) {
        return errors_.Fail(error::kCrc);
    }
    return true;
}

std::int64_t RegionWriter::ReadBack(std::uint32_t count, std::uint64_t offset) {
    const ssize_t readBack = ReadAt(region_, readBackChunk_.data(), count, offset);
    if (readBack > 0 && hooks_.readBack) {
        hooks_.readBack(std::span<char>(readBackChunk_.data(), static_cast<std::size_t>(readBack)), offset);
    }
    return readBack;
}

bool RegionWriter::ErrnoFailure(int errnoValue) { return errors_.Fail(DeviceErrorFromErrno(errnoValue)); }

}  // namespace velkor::shared
