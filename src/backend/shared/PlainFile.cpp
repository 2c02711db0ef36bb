#include "backend/shared/PlainFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace velkor::shared {

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

}  // namespace velkor::shared
