#include "backend/shared/FileCopy.h"

#include "backend/shared/DeviceFile.h"
#include "backend/shared/ErrnoErrors.h"
#include "backend/shared/PlainFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace velkor::shared {
namespace {

namespace error = platform::error;

// Copies stream through a buffer of this size, however large the file.
constexpr std::uint32_t kCopyChunkBytes = 64 * 1024;

bool IsSameFile(const struct stat& first, const struct stat& second) {
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// True when the target's name is free or holds another file than `source`.
bool TargetIsAnotherFile(const ResolvedPath& target, const struct stat& source, ErrorState& errors) {
    struct stat info {};
    if (::fstatat(target.folder.Get(), target.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) {
            return true;
        }
        return errors.Fail(DeviceErrorFromErrno(errno));
    }
    if (IsSameFile(info, source)) {
        return errors.Fail(error::kSharingViolation);
    }
    return true;
}

// Opens the target without emptying it, and checks it once more, open: a name that changed since
// the first check must not lead to the source.
UniqueFd OpenTarget(const ResolvedPath& target, const struct stat& source, ErrorState& errors) {
    UniqueFd fd = OpenResolvedFile(target, O_WRONLY | O_CREAT, errors);
    struct stat info {};
    if (!fd.IsValid()) {
        return fd;
    }
    if (::fstat(fd.Get(), &info) != 0) {
        errors.Fail(DeviceErrorFromErrno(errno));
        return UniqueFd();
    }
    if (IsSameFile(info, source)) {
        errors.Fail(error::kSharingViolation);
        return UniqueFd();
    }
    return fd;
}

// Cuts off what is left of a longer file the copy replaced. A file already of that length is left
// alone: fusefat refuses to "cut" a file to the length it has.
bool CutTo(int fd, off_t length, ErrorState& errors) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return errors.Fail(DeviceErrorFromErrno(errno));
    }
    if (info.st_size <= length) {
        return true;
    }
    if (::ftruncate(fd, length) != 0) {
        return errors.Fail(DeviceErrorFromErrno(errno));
    }
    return true;
}

// Writes the whole source over the start of the target, then cuts the target to the source's length.
// The target is cut only at the end: some file systems (fusefat) keep an emptied file's old clusters
// for the writes that follow, and the old tail would come back.
bool WriteOver(DeviceFile& source, DeviceFile& target, int targetFd, ErrorState& errors) {
    std::vector<char> chunk(kCopyChunkBytes);
    std::uint32_t bytesRead = 0;
    for (off_t copied = 0;; copied += bytesRead) {
        if (!source.Read(chunk.data(), kCopyChunkBytes, bytesRead)) {
            return false;
        }
        if (bytesRead == 0) {
            return CutTo(targetFd, copied, errors);
        }
        if (!target.Write(chunk.data(), bytesRead)) {
            return false;
        }
    }
}

// The whole source written over the target, and the target synced and closed.
bool FillTarget(DeviceFile& source, DeviceFile& target, int targetFd, ErrorState& errors) {
    if (!WriteOver(source, target, targetFd, errors)) {
        return false;
    }
    return target.Close();
}

}  // namespace

bool CopyFileOnto(UniqueFd source, const ResolvedPath& target, ErrorState& errors) {
    struct stat sourceInfo {};
    if (::fstat(source.Get(), &sourceInfo) != 0) {
        return errors.Fail(DeviceErrorFromErrno(errno));
    }
    if (!TargetIsAnotherFile(target, sourceInfo, errors)) {
        return false;
    }
    UniqueFd targetFd = OpenTarget(target, sourceInfo, errors);
    if (!targetFd.IsValid()) {
        return false;
    }
    const int targetDescriptor = targetFd.Get();
    DeviceFile reader(std::move(source), errors);
    DeviceFile writer(std::move(targetFd), errors);
    if (FillTarget(reader, writer, targetDescriptor, errors)) {
        return true;
    }
    // No partial file is left; the error of the failed step stays the one reported.
    ::unlinkat(target.folder.Get(), target.name.c_str(), 0);
    return false;
}

}  // namespace velkor::shared
