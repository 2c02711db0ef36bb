#include "backend/board/flash/StorageId.h"

#include <sys/sysmacros.h>

namespace velkor::board {

std::optional<StorageId> StorageId::Of(const struct stat& status) {
    if (S_ISBLK(status.st_mode)) {
        return Block({::major(status.st_rdev), ::minor(status.st_rdev)});
    }
    if (S_ISREG(status.st_mode)) {
        return StorageId{Kind::File, {}, status.st_dev, status.st_ino};
    }
    return std::nullopt;
}

std::optional<StorageId> StorageId::OfPath(const std::filesystem::path& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? Of(status) : std::nullopt;
}

}  // namespace velkor::board
