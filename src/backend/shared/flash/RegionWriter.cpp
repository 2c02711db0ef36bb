#include "backend/shared/flash/RegionWriter.h"

#include "backend/shared/ErrnoErrors.h"
#include "platform/OverlappedReads.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <future>
#include <string_view>

namespace velkor::shared {
namespace {

namespace error = platform::error;

// How much of the region may be on its way to the disk at once, where it goes through the cache.
constexpr std::uint64_t kInFlightBytes = 8 * 1024 * 1024;

}  // namespace

RegionWriter::RegionWriter(int region, std::uint64_t capacity, ErrorState& errors, Hooks hooks,
                           ImageExpectation* expectation)
    : region_(region),
      capacity_(capacity),
      errors_(errors),
      hooks_(std::move(hooks)),
      expectation_(expectation),
      medium_(region),
      imageRequests_{AlignedBuffer(kRequestBytes), AlignedBuffer(kRequestBytes)},
      regionRequest_(kRequestBytes) {}

// Request k is read from the image while its region bytes are read for the comparison and request
// k-1 is still being hashed; then it is written while it is hashed in turn.
std::optional<std::uint64_t> RegionWriter::Write(platform::File& image) {
    HashingRequest hashing;
    for (std::uint64_t length = 0, turn = 0;; ++turn) {
        const AlignedBuffer& request = imageRequests_[turn % 2];
        std::future<std::int64_t> regionRead = StartRegionRead(length);
        const std::optional<std::uint32_t> count = ReadImage(image, request, length);
        if (hashing.digests.valid()) {
            CollectDigests(hashing);
        }
        if (!count) {
            return std::nullopt;
        }
        if (*count == 0) {
            return Finished(length);
        }
        const std::optional<RequestPlan> plan = PlanRequest(request, *count, length, regionRead);
        if (!plan) {
            return std::nullopt;
        }
        hashing = {std::async(std::launch::async, [this, &request, count = *count] { return HashRequest(request, count); }),
                   length, *count, *plan};
        if (!WriteChunks(request, *count, length, *plan) || !WriteBack(length, *count)) {
            return std::nullopt;
        }
        length += *count;
    }
}

std::future<std::int64_t> RegionWriter::StartRegionRead(std::uint64_t offset) {
    if (!changedChunks_.Comparing() || offset >= capacity_) {
        return {};
    }
    const auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(kRequestBytes, capacity_ - offset));
    return std::async(std::launch::async, [this, count, offset]() -> std::int64_t {
        const std::int64_t read = medium_.Read(regionRequest_, count, offset);
        return read < 0 ? -errno : read;
    });
}

std::optional<std::uint32_t> RegionWriter::ReadImage(platform::File& image, const AlignedBuffer& request,
                                                     std::uint64_t offset) {
    // Whole requests, so that every chunk but the image's last starts and ends aligned.
    std::uint32_t count = 0;
    for (std::uint32_t read = 1; read != 0 && count < kRequestBytes; count += read) {
        if (!image.Read(request.Data() + count, kRequestBytes - count, read)) {
            return std::nullopt;
        }
    }
    // The image may have grown since it was measured; the region still ends where it ends.
    if (offset + count > capacity_) {
        errors_.Fail(error::kDiskFull);
        return std::nullopt;
    }
    if (expectation_ && !expectation_->Admit(count)) {
        errors_.Fail(error::kCrc);
        return std::nullopt;
    }
    return count;
}

std::optional<std::uint64_t> RegionWriter::Finished(std::uint64_t length) {
    if (expectation_ && !expectation_->StreamMatches()) {
        errors_.Fail(error::kCrc);
        return std::nullopt;
    }
    return length;
}

std::optional<RegionWriter::RequestPlan> RegionWriter::PlanRequest(const AlignedBuffer& request, std::uint32_t count,
                                                                   std::uint64_t offset,
                                                                   std::future<std::int64_t>& regionRead) {
    RequestPlan plan;
    plan.fill(ChunkFate::kWrite);
    if (!regionRead.valid()) {
        return plan;
    }
    const std::int64_t held = regionRead.get();
    if (held < 0) {
        ErrnoFailure(static_cast<int>(-held));
        return std::nullopt;
    }
    for (std::uint32_t index = 0, first = 0; first < count && changedChunks_.Comparing(); ++index, first += kChunkBytes) {
        if (Holds(request.Data() + first, std::min(kChunkBytes, count - first), static_cast<std::uint64_t>(held), first,
                  offset)) {
            // Read through the cache, an equal chunk may be a copy the medium no longer holds.
            plan[index] = medium_.Direct() ? ChunkFate::kHeld : ChunkFate::kHeldInCache;
        }
    }
    return plan;
}

bool RegionWriter::Holds(const char* image, std::uint32_t count, std::uint64_t held, std::uint32_t first,
                         std::uint64_t offset) {
    // The region may end before the chunk does: a shorter region file.
    const std::uint64_t heldFromFirst = held > first ? held - first : 0;
    const auto heldHere = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, heldFromFirst));
    char* region = regionRequest_.Data() + first;
    if (heldHere > 0 && hooks_.readBack) {
        hooks_.readBack(std::span<char>(region, heldHere), offset + first);
    }
    const bool equal = heldHere == count && std::equal(region, region + count, image);
    changedChunks_.Compared(equal);
    return equal;
}

RegionWriter::RequestDigests RegionWriter::HashRequest(const AlignedBuffer& request, std::uint32_t count) {
    if (expectation_) {
        expectation_->HashStreamed(request.Data(), count);
    }
    return ChunkDigest::OfChunks(std::string_view(request.Data(), count));
}

void RegionWriter::CollectDigests(HashingRequest& hashing) {
    const RequestDigests digests = hashing.digests.get();
    for (std::uint32_t index = 0, first = 0; first < hashing.count; ++index, first += kChunkBytes) {
        imageChunks_.push_back(digests[index]);
        if (hashing.plan[index] != ChunkFate::kHeld) {
            toProve_.push_back({hashing.offset + first, std::min(kChunkBytes, hashing.count - first), digests[index]});
        }
    }
}

bool RegionWriter::WriteChunks(const AlignedBuffer& request, std::uint32_t count, std::uint64_t offset,
                               const RequestPlan& plan) {
    const std::uint32_t chunks = (count + kChunkBytes - 1) / kChunkBytes;
    for (std::uint32_t index = 0; index < chunks;) {
        if (plan[index] != ChunkFate::kWrite) {
            ++index;
            continue;
        }
        std::uint32_t end = index + 1;
        while (end < chunks && plan[end] == ChunkFate::kWrite) {
            ++end;
        }
        const std::uint32_t first = index * kChunkBytes;
        const std::uint32_t bytes = std::min(end * kChunkBytes, count) - first;
        if (hooks_.writing) {
            hooks_.writing(offset + first, bytes);
        }
        if (!medium_.Write(request.Data() + first, bytes, offset + first)) {
            return ErrnoFailure(errno);
        }
        bytesWritten_ += bytes;
        index = end;
    }
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
    // The image's request is free by now: one buffer is read into while the other is checked.
    std::array<ReadBackRequest, 2> requests{ReadBackRequest{regionRequest_}, ReadBackRequest{imageRequests_[0]}};
    std::size_t next = 0;
    std::optional<std::size_t> differing;
    const bool proven = platform::ReadOverlapped<ReadBackRequest>(
        {&requests[0], &requests[1]},
        [&](ReadBackRequest& request) -> std::optional<std::uint64_t> {
            if (next == toProve_.size()) {
                return 0;
            }
            request.first = next;
            request.end = next = RunEnd(request.first);
            const std::int64_t readBack = ReadRun(request.first, request.end, request.bytes);
            if (readBack < 0) {
                ErrnoFailure(errno);
                return std::nullopt;
            }
            request.readBack = static_cast<std::uint64_t>(readBack);
            // The run's chunks: one read short still goes to the check, which names its first missing chunk.
            return request.end - request.first;
        },
        [&](const ReadBackRequest& request, std::uint64_t) {
            const std::size_t chunk = FirstDiffering(request);
            if (chunk != request.end) {
                differing = chunk;
            }
            return !differing;
        });
    return differing ? ReadBackDiffers(*differing) : proven;
}

std::int64_t RegionWriter::ReadRun(std::size_t first, std::size_t end, const AlignedBuffer& buffer) {
    const std::uint64_t start = toProve_[first].offset;
    const auto count = static_cast<std::uint32_t>(toProve_[end - 1].offset + toProve_[end - 1].count - start);
    const std::int64_t readBack = medium_.Read(buffer, count, start);
    for (std::size_t index = first; hooks_.readBack && readBack >= 0 && index < end; ++index) {
        const ChunkToProve& chunk = toProve_[index];
        if (chunk.offset + chunk.count <= start + static_cast<std::uint64_t>(readBack)) {
            hooks_.readBack(std::span<char>(buffer.Data() + (chunk.offset - start), chunk.count), chunk.offset);
        }
    }
    return readBack;
}

std::size_t RegionWriter::RunEnd(std::size_t first) const {
    std::size_t end = first + 1;
    while (end < toProve_.size() && end - first < kChunksARequest &&
           toProve_[end].offset == toProve_[end - 1].offset + toProve_[end - 1].count) {
        ++end;
    }
    return end;
}

std::size_t RegionWriter::FirstDiffering(const ReadBackRequest& request) const {
    const std::uint64_t start = toProve_[request.first].offset;
    for (std::size_t index = request.first; index < request.end; ++index) {
        const ChunkToProve& chunk = toProve_[index];
        const std::uint64_t at = chunk.offset - start;
        if (request.readBack < at + chunk.count ||
            ChunkDigest::Of(std::string_view(request.bytes.Data() + at, chunk.count)) != chunk.streamed) {
            return index;
        }
    }
    return request.end;
}

bool RegionWriter::ReadBackDiffers(std::size_t chunk) {
    if (expectation_) {
        expectation_->ReadBackDiffers(toProve_[chunk].offset, toProve_[chunk].count);
    }
    return errors_.Fail(error::kCrc);
}

bool RegionWriter::ErrnoFailure(int errnoValue) { return errors_.Fail(DeviceErrorFromErrno(errnoValue)); }

}  // namespace velkor::shared
