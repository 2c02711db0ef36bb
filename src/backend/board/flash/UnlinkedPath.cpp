#include "backend/board/flash/UnlinkedPath.h"

#include "backend/shared/PlainFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace velkor::board {

shared::UniqueFd OpenWithoutLinks(const std::filesystem::path& path, int flags) {
    shared::UniqueFd folder(::open(path.is_absolute() ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    for (const std::filesystem::path& component : path.relative_path().parent_path()) {
        struct stat status {};
        if (::fstatat(folder.Get(), component.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode)) {
            errno = ELOOP;
            return {};
        }
        // O_NOFOLLOW again, for a link put there since.
        folder = shared::UniqueFd(::openat(folder.Get(), component.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!folder.IsValid()) {
            return {};
        }
    }
    return shared::OpenPlainFile(folder.Get(), path.filename().c_str(), flags);
}

}  // namespace velkor::board
