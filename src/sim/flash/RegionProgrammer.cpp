#include "sim/flash/RegionProgrammer.h"

#include "sim/HostErrors.h"
#include "sim/PlainFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace velkor::sim {
namespace {

namespace error = platform::error;

constexpr std::uint32_t kChunkBytes = 1024 * 1024;
constexpr mode_t kFolderPermissions = 0755;
constexpr mode_t kFilePermissions = 0644;

// Writes all `count` bytes at `offset`; false with errno set.
bool WriteAt(int fd, const char* data, std::size_t count, std::uint64_t offset) {
    while (count > 0) {
        const ssize_t written = ::pwrite(fd, data, count, static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            // A write that takes nothing without an error would never finish.
            errno = written == 0 ? ENOSPC : errno;
            return false;
        }
        data += written;
        count -= static_cast<std::size_t>(written);
        offset += static_cast<std::uint64_t>(written);
    }
    return true;
}

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

RegionProgrammer::RegionProgrammer(std::filesystem::path regionFile, std::uint64_t capacity, bool readBackDiffers,
                                   ErrorState& errors)
    : regionFile_(std::move(regionFile)),
      capacity_(capacity),
      readBackDiffers_(readBackDiffers),
      errors_(errors),
      imageChunk_(kChunkBytes),
      readBackChunk_(kChunkBytes) {}

bool RegionProgrammer::Program(platform::File& image) {
    if (image.Length() > capacity_) {
        return errors_.Fail(error::kDiskFull);
    }
    const UniqueFd region = OpenRegion();
    if (!region.IsValid()) {
        return false;
    }
    std::uint64_t length = 0;
    return WriteImage(image, region.Get(), length) && Flush(region.Get(), length) &&
           Verify(image, region.Get(), length);
}

UniqueFd RegionProgrammer::OpenRegion() {
    const std::filesystem::path folder = regionFile_.parent_path();
    if (::mkdir(folder.c_str(), kFolderPermissions) != 0 && errno != EEXIST) {
        HostFailure(errno);
        return UniqueFd();
    }
    // Neither DIR/flash nor the region may be a link, so the driver writes nothing but the device's
    // own regions; a region that is not a plain file (a FIFO, say) is refused before any write.
    const UniqueFd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folderFd.IsValid()) {
        // What stands there is a link or a file, not the driver's own folder: refused, as a link is.
        HostFailure(errno == ENOTDIR ? ELOOP : errno);
        return UniqueFd();
    }
    // Not truncated: a region is programmed in place, as flash is.
    UniqueFd region = OpenPlainFile(folderFd.Get(), regionFile_.filename().c_str(), O_RDWR | O_CREAT, kFilePermissions);
    if (!region.IsValid()) {
        HostFailure(errno);
    }
    return region;
}

bool RegionProgrammer::WriteImage(platform::File& image, int region, std::uint64_t& length) {
    for (;;) {
        std::uint32_t count = 0;
        if (!image.Read(imageChunk_.data(), kChunkBytes, count)) {
            return false;
        }
        if (count == 0) {
            return true;
        }
        // The image may have grown since it was measured; the region still ends where it ends.
        if (length + count > capacity_) {
            return errors_.Fail(error::kDiskFull);
        }
        if (!WriteAt(region, imageChunk_.data(), count, length)) {
            return HostFailure(errno);
        }
        if (!WriteBack(region, length, count)) {
            return false;
        }
        length += count;
    }
}

bool RegionProgrammer::WriteBack(int region, std::uint64_t offset, std::uint32_t count) {
    constexpr unsigned kWaitForAll = SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
    if (::sync_file_range(region, static_cast<off_t>(offset), count, SYNC_FILE_RANGE_WRITE) != 0) {
        return HostFailure(errno);
    }
    if (offset == 0) {
        return true;  // a length of 0 would mean the whole file
    }
    if (::sync_file_range(region, 0, static_cast<off_t>(offset), kWaitForAll) != 0) {
        return HostFailure(errno);
    }
    return DropCachedPages(region, offset);
}

bool RegionProgrammer::Flush(int region, std::uint64_t length) {
    if (::ftruncate(region, static_cast<off_t>(length)) != 0 || ::fdatasync(region) != 0) {
        return HostFailure(errno);
    }
    // Without the cached pages the read-back has to come from the disk.
    return DropCachedPages(region, length);
}

bool RegionProgrammer::DropCachedPages(int region, std::uint64_t length) {
    const int adviceError = ::posix_fadvise(region, 0, static_cast<off_t>(length), POSIX_FADV_DONTNEED);
    return adviceError == 0 || HostFailure(adviceError);
}

bool RegionProgrammer::Verify(platform::File& image, int region, std::uint64_t length) {
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
            return offset == length || errors_.Fail(error::kCrc);
        }
        const std::int64_t readBack = ReadBack(region, count, offset);
        if (readBack < 0) {
            return HostFailure(errno);
        }
        if (readBack != count ||
            !std::equal(imageChunk_.begin(), imageChunk_.begin() + count, readBackChunk_.begin())) {
            return errors_.Fail(error::kCrc);
        }
        offset += count;
    }
}

std::int64_t RegionProgrammer::ReadBack(int region, std::uint32_t count, std::uint64_t offset) {
    const ssize_t readBack = ReadAt(region, readBackChunk_.data(), count, offset);
    if (readBackDiffers_ && offset == 0 && readBack > 0) {
        readBackChunk_[0] = static_cast<char>(~readBackChunk_[0]);
    }
    return readBack;
}

bool RegionProgrammer::HostFailure(int hostError) { return errors_.Fail(DeviceErrorFromErrno(hostError)); }

}  // namespace velkor::sim
