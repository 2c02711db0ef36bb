#include "backend/shared/DeviceFile.h"

#include "backend/shared/ErrnoErrors.h"
#include "backend/shared/FullWrite.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

namespace velkor::shared {

DeviceFile::DeviceFile(UniqueFd fd, ErrorState& errors) : fd_(std::move(fd)), errors_(errors) {}

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
    written_ = true;
    if (!WriteFully(fd_.Get(), std::string_view(static_cast<const char*>(data), count))) {
        return errors_.Fail(DeviceErrorFromErrno(errno));
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

platform::FileIdentity DeviceFile::Identity() const {
    struct stat info {};
    if (::fstat(fd_.Get(), &info) != 0) {
        errors_.Fail(DeviceErrorFromErrno(errno));
        return {};
    }
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

std::uint64_t DeviceFile::Length() const {
    struct stat info {};
    if (::fstat(fd_.Get(), &info) != 0) {
        errors_.Fail(DeviceErrorFromErrno(errno));
        return 0;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

bool DeviceFile::Close() {
    if (!fd_.IsValid()) {
        return errors_.Fail(platform::error::kInvalidHandle);
    }
    // What a file system keeps back until the file is synced or closed (a FUSE volume's flush, a
    // full disk found late) fails here, and must fail the write it belongs to. A file that cannot
    // be synced at all (EINVAL) has nothing held back.
    const int syncResult = written_ ? ::fsync(fd_.Get()) : 0;
    if (syncResult != 0 && errno != EINVAL) {
        const int syncFailure = errno;
        fd_.Close();
        return errors_.Fail(DeviceErrorFromErrno(syncFailure));
    }
    if (fd_.Close() != 0) {
        return errors_.Fail(DeviceErrorFromErrno(errno));
    }
    return true;
}

}  // namespace velkor::shared
