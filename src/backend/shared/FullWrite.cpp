#include "backend/shared/FullWrite.h"

#include <unistd.h>

#include <cerrno>
#include <optional>

namespace velkor::shared {

namespace {

bool WriteAll(int fd, std::string_view bytes, std::optional<std::uint64_t> offset) {
    while (!bytes.empty()) {
        const ssize_t written = offset ? ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(*offset))
                                       : ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            errno = written == 0 ? ENOSPC : errno;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
        if (offset) {
            *offset += static_cast<std::uint64_t>(written);
        }
    }
    return true;
}

}  // namespace

bool WriteFully(int fd, std::string_view bytes) { return WriteAll(fd, bytes, std::nullopt); }

bool WriteFullyAt(int fd, std::string_view bytes, std::uint64_t offset) { return WriteAll(fd, bytes, offset); }

}  // namespace velkor::shared
