#include "backend/shared/flash/RegionWriter.h"

#include "backend/shared/ErrnoErrors.h"
#include "backend/shared/FullWrite.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

namespace velkor::shared {
namespace {

namespace error = platform::error;

// What is compared, skipped and proven at once.
constexpr std::uint32_t kChunkBytes = 1024 * 1024;
// Chunks a request: large requests keep the disk streaming, the memory stays two requests.
constexpr std::uint32_t kChunksARequest = 8;
constexpr std::uint32_t kRequestBytes = kChunksARequest * kChunkBytes;
// How much of the region may be on its way to the disk at once.
constexpr std::uint64_t kInFlightBytes = 8 * kChunkBytes;

}  // namespace

RegionWriter::RegionWriter(int region, std::uint64_t capacity, ErrorState& errors, Hooks hooks,
                           ImageExpectation* expectation)
    : region_(region),
      capacity_(capacity),
      errors_(errors),
      hooks_(std::move(hooks)),
      expectation_(expectation),
      medium_(region),
      imageRequest_(kRequestBytes),
      regionRequest_(kRequestBytes) {}

std::optional<std::uint64_t> RegionWriter::Write(platform::File& image) {
    for (std::uint64_t length = 0;;) {
        const std::optional<std::uint32_t> count = ReadImage(image, length);
        if (!count) {
            return std::nullopt;
        }
        if (*count == 0) {
            return Finished(length);
        }
        if (!ProgramRequest(*count, length)) {
            return std::nullopt;
        }
        length += *count;
    }
}

std::optional<std::uint32_t> RegionWriter::ReadImage(platform::File& image, std::uint64_t offset) {
    // Whole requests, so that every chunk but the image's last starts and ends aligned.
    std::uint32_t count = 0;
    for (std::uint32_t read = 1; read != 0 && count < kRequestBytes; count += read) {
        if (!image.Read(imageRequest_.Data() + count, kRequestBytes - count, read)) {
            return std::nullopt;
        }
    }
    // The image may have grown since it was measured; the region still ends where it ends.
    if (offset + count > capacity_) {
        errors_.Fail(error::kDiskFull);
        return std::nullopt;
    }
    if (expectation_ && !expectation_->Streamed(imageRequest_.Data(), count)) {
        errors_.Fail(error::kCrc);
        return std::nullopt;
    }
    if (!expectation_) {
        streamedHash_.Update(imageRequest_.Data(), count);
    }
    return count;
}

std::optional<std::uint64_t> RegionWriter::Finished(std::uint64_t length) {
    if (expectation_ && !expectation_->StreamMatches()) {
        errors_.Fail(error::kCrc);
        return std::nullopt;
    }
    imageDigest_ = expectation_ ? expectation_->Listed() : streamedHash_.Finish();
    return length;
}

bool RegionWriter::ProgramRequest(std::uint32_t count, std::uint64_t offset) {
    std::int64_t held = 0;
    if (changedChunks_.Comparing()) {
        held = medium_.Read(regionRequest_, count, offset);
        if (held < 0) {
            return ErrnoFailure(errno);
        }
    }
    for (std::uint32_t first = 0; first < count; first += kChunkBytes) {
        const std::uint32_t chunk = std::min(kChunkBytes, count - first);
        if (changedChunks_.Comparing() && Holds(first, chunk, static_cast<std::uint64_t>(held), offset)) {
            continue;
        }
        if (!WriteChunk(first, chunk, offset)) {
            return false;
        }
    }
    return WriteBack(offset, count);
}

bool RegionWriter::Holds(std::uint32_t first, std::uint32_t count, std::uint64_t held, std::uint64_t offset) {
    // The region may end before the chunk does: a shorter region file.
    const std::uint64_t heldFromFirst = held > first ? held - first : 0;
    const auto heldHere = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, heldFromFirst));
    char* region = regionRequest_.Data() + first;
    if (heldHere > 0 && hooks_.readBack) {
        hooks_.readBack(std::span<char>(region, heldHere), offset + first);
    }
    const bool equal = heldHere == count && std::equal(region, region + count, imageRequest_.Data() + first);
    changedChunks_.Compared(equal);
    if (equal && !medium_.Direct()) {
        // Read through the cache, it may be a copy the medium no longer holds.
        const char* image = imageRequest_.Data() + first;
        toProve_.push_back({offset + first, count, platform::Sha256::Of(std::string_view(image, count))});
    }
    return equal;
}

bool RegionWriter::WriteChunk(std::uint32_t first, std::uint32_t count, std::uint64_t offset) {
    const std::string_view chunk(imageRequest_.Data() + first, count);
    if (hooks_.writing) {
        hooks_.writing(offset + first, count);
    }
    if (!WriteFullyAt(region_, chunk, offset + first)) {
        return ErrnoFailure(errno);
    }
    bytesWritten_ += count;
    toProve_.push_back({offset + first, count, platform::Sha256::Of(chunk)});
    return true;
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
    // Without the cached pages a read-back that cannot bypass the cache has to come from the disk.
    if (!DropCachedPages(0, length)) {
        return false;
    }
    // A larger read-ahead for such a read-back, which goes through the region once from its start.
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

bool RegionWriter::Verify(std::uint64_t length) { return Flush(length) && ProveWrittenChunks(); }

// The region must hold what was streamed, whatever the image holds by now.
bool RegionWriter::ProveWrittenChunks() {
    for (std::size_t first = 0; first < toProve_.size();) {
        // Adjacent chunks, up to a request's worth, are read back at once.
        std::size_t end = first + 1;
        while (end < toProve_.size() && end - first < kChunksARequest &&
               toProve_[end].offset == toProve_[end - 1].offset + toProve_[end - 1].count) {
            ++end;
        }
        if (!ProveChunks(first, end)) {
            return false;
        }
        first = end;
    }
    return true;
}

bool RegionWriter::ProveChunks(std::size_t first, std::size_t end) {
    const std::uint64_t start = toProve_[first].offset;
    const auto count = static_cast<std::uint32_t>(toProve_[end - 1].offset + toProve_[end - 1].count - start);
    const std::int64_t readBack = medium_.Read(regionRequest_, count, start);
    if (readBack < 0) {
        return ErrnoFailure(errno);
    }
    for (std::size_t index = first; index < end; ++index) {
        const ChunkToProve& chunk = toProve_[index];
        char* data = regionRequest_.Data() + (chunk.offset - start);
        const bool whole = static_cast<std::uint64_t>(readBack) >= chunk.offset - start + chunk.count;
        if (whole && hooks_.readBack) {
            hooks_.readBack(std::span<char>(data, chunk.count), chunk.offset);
        }
        if (!whole || platform::Sha256::Of(std::string_view(data, chunk.count)) != chunk.streamed) {
            if (expectation_) {
                expectation_->ReadBackDiffers(chunk.offset, chunk.count);
            }
            return errors_.Fail(error::kCrc);
        }
    }
    return true;
}

bool RegionWriter::ErrnoFailure(int errnoValue) { return errors_.Fail(DeviceErrorFromErrno(errnoValue)); }

}  // namespace velkor::shared
