#include "backend/shared/DeviceFile.h"

#include "backend/shared/ErrnoErrors.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

namespace velkor::shared {

DeviceFile::DeviceFile(UniqueFd fd, ErrorState& errors, std::optional<std::uint64_t> sizeLimit)
    : fd_(std::move(fd)), errors_(errors), sizeLimit_(sizeLimit) {}

bool DeviceFile::Read(void* buffer, std::uint32_t count, std::uint32_t& bytesRead) {
    ssize_t result = 0;
    do {
        result = ::read(fd_.Get(), buffer, count);
    } while (result < 0 && errno == EINTR);
    if (result < 0) {
        bytesRead = 0;
        return errors_.Fail(DeviceErrorFromErrno(errno));
    }
    bytesRead = static_cast<std::uint32_t>(result);
    return true;
}

bool DeviceFile::Write(const void* data, std::uint32_t count) {
    if (WouldExceedLimit(count)) {
        return errors_.Fail(platform::error::kDiskFull);
    }
    const auto* bytes = static_cast<const char*>(data);
    std::uint32_t written = 0;
    while (written < count) {
        const ssize_t result = ::write(fd_.Get(), bytes + written, count - written);
        if (result < 0 && errno != EINTR) {
            return errors_.Fail(DeviceErrorFromErrno(errno));
        }
        written += static_cast<std::uint32_t>(std::max<ssize_t>(result, 0));
    }
    return true;
}

bool DeviceFile::Seek(std::uint64_t offset) {
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
        return errors_.Fail(platform::error::kInvalidParameter);
    }
    if (::lseek(fd_.Get(), static_cast<off_t>(offset), SEEK_SET) < 0) {
        return errors_.Fail(DeviceErrorFromErrno(errno));
    }
    return true;
}

std::uint64_t DeviceFile::Length() const {
    struct stat info {};
    if (::fstat(fd_.Get(), &info) != 0) {
        errors_.Fail(DeviceErrorFromErrno(errno));
        return 0;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

bool DeviceFile::WouldExceedLimit(std::uint32_t count) const {
    if (!sizeLimit_) {
        return false;
    }
    const off_t position = ::lseek(fd_.Get(), 0, SEEK_CUR);
    const std::uint64_t end = static_cast<std::uint64_t>(std::max<off_t>(position, 0)) + count;
    return end > *sizeLimit_ && end > Length();
}

}  // namespace velkor::shared
