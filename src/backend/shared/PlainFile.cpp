#include "backend/shared/PlainFile.h"

#include "backend/shared/ErrnoErrors.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace velkor::shared {
namespace {

constexpr mode_t kNewFilePermissions = 0644;

}  // namespace

UniqueFd OpenPlainFile(int folder, const char* name, int flags, mode_t mode) {
    UniqueFd file(::openat(folder, name, flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode));
    struct stat status {};
    if (!file.IsValid() || ::fstat(file.Get(), &status) != 0) {
        return UniqueFd();
    }
    if (!S_ISREG(status.st_mode)) {
        errno = EACCES;
        return UniqueFd();
    }
    return file;
}

UniqueFd OpenResolvedFile(const ResolvedPath& path, int flags, ErrorState& errors) {
    UniqueFd file = OpenPlainFile(path.folder.Get(), path.name.c_str(), flags, kNewFilePermissions);
    if (!file.IsValid()) {
        errors.Fail(DeviceErrorFromErrno(errno));
        return file;
    }
    ::fcntl(file.Get(), F_SETFL, ::fcntl(file.Get(), F_GETFL) & ~O_NONBLOCK);
    return file;
}

}  // namespace velkor::shared
