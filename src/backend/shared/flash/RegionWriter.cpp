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
        if (hooks_.writing) {
            hooks_.writing(length, count);
        }
        if (!WriteFullyAt(region_, std::string_view(imageChunk_.data(), count), length)) {
            ErrnoFailure(errno);
            return std::nullopt;
        }
        if (!WriteBack(length, count)) {
            return std::nullopt;
        }
        length += count;
    }
}

bool RegionWriter::WriteBack(std::uint64_t offset, std::uint32_t count) {
    constexpr unsigned kWaitForAll = SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
    if (::sync_file_range(region_, static_cast<off_t>(offset), count, SYNC_FILE_RANGE_WRITE) != 0) {
        return ErrnoFailure(errno);
    }
    if (offset < kChunkBytes) {
        return true;  // nothing written before this chunk
    }
    // Every chunk before the previous one was waited for and dropped already.
    const std::uint64_t previous = offset - kChunkBytes;
    if (::sync_file_range(region_, static_cast<off_t>(previous), kChunkBytes, kWaitForAll) != 0) {
        return ErrnoFailure(errno);
    }
    return DropCachedPages(previous, kChunkBytes);
}

bool RegionWriter::Flush(std::uint64_t length) {
    if (::fdatasync(region_) != 0) {
        return ErrnoFailure(errno);
    }
    if (hooks_.flushed) {
        hooks_.flushed();
    }
    // Without the cached pages the read-back has to come from the disk.
    return DropCachedPages(0, length);
}

bool RegionWriter::DropCachedPages(std::uint64_t offset, std::uint64_t length) {
    const int adviceError =
        ::posix_fadvise(region_, static_cast<off_t>(offset), static_cast<off_t>(length), POSIX_FADV_DONTNEED);
    if (adviceError != 0) {
        return ErrnoFailure(adviceError);
    }
    return true;
}

bool RegionWriter::Verify(platform::File& image, std::uint64_t length) {
    if (!Flush(length)) {
        return false;
    }
    return expectation_ ? CheckReadBackHash(length) : CompareWithImage(image, length);
}

// The region must hold the listed bytes, whatever the image holds by now.
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

bool RegionWriter::CompareWithImage(platform::File& image, std::uint64_t length) {
    if (!image.Seek(0)) {
        return false;
    }
    std::uint64_t offset = 0;
    for (;;) {
        std::uint32_t count = 0;
        if (!image.Read(imageChunk_.data(), kChunkBytes, count)) {
            return false;
        }
        if (count == 0) {
            // An image that shrank since it was written leaves the region longer than the image.
            if (offset != length) {
                return errors_.Fail(error::kCrc);
            }
            return true;
        }
        const std::int64_t readBack = ReadBack(count, offset);
        if (readBack < 0) {
            return ErrnoFailure(errno);
        }
        if (readBack != count ||
            !std::equal(imageChunk_.begin(), imageChunk_.begin() + count, readBackChunk_.begin())) {
            return errors_.Fail(error::kCrc);
        }
        offset += count;
    }
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
