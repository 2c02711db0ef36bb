#include "backend/shared/BoundedFile.h"

#include "backend/shared/DeviceError.h"
#include "backend/shared/ErrnoErrors.h"
#include "backend/shared/UniqueFd.h"
#include "platform/ErrorCodes.h"

#include <fmt/format.h>
#include <fmt/std.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace velkor::shared {
namespace {

constexpr std::uint64_t kMebibyte = 1024 * 1024;

// What a read found: the bytes, or why there are none.
struct BoundedRead {
    std::string bytes;
    int errnoValue = 0;
    // The kind of entry that stood there instead of a plain file (S_IFLNK for a refused link).
    mode_t refusedMode = 0;
    bool tooLarge = false;

    bool Read() const { return errnoValue == 0 && refusedMode == 0 && !tooLarge; }
};

BoundedRead Failed(int errnoValue) { return {{}, errnoValue, 0, false}; }
BoundedRead Refused(mode_t mode) { return {{}, 0, mode, false}; }

BoundedRead ReadToLimit(int fd, std::uint64_t statedSize, std::uint64_t maxBytes) {
    std::string text(std::min(statedSize, maxBytes) + 1, '\0');
    std::size_t total = 0;
    for (;;) {
        if (total == text.size()) {
            if (total > maxBytes) {
                break;
            }
            text.resize(std::min<std::size_t>(total * 2, maxBytes + 1));
        }
        const ssize_t got = ::read(fd, text.data() + total, text.size() - total);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return Failed(errno);
        }
        if (got == 0) {
            break;
        }
        total += static_cast<std::size_t>(got);
    }
    if (total > maxBytes) {
        return {{}, 0, 0, true};
    }
    text.resize(total);
    return {std::move(text), 0, 0, false};
}

BoundedRead Read(const std::filesystem::path& path, LinkRule links, std::uint64_t maxBytes) {
    const int noFollow = links == LinkRule::Refused ? O_NOFOLLOW : 0;
    // Not blocking, so that a FIFO put in its place is refused instead of waited on.
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | noFollow));
    if (!fd.IsValid()) {
        return errno == ELOOP && noFollow != 0 ? Refused(S_IFLNK) : Failed(errno);
    }
    struct stat status {};
    if (::fstat(fd.Get(), &status) != 0) {
        return Failed(errno);
    }
    if (!S_ISREG(status.st_mode)) {
        return Refused(status.st_mode);
    }
    return ReadToLimit(fd.Get(), static_cast<std::uint64_t>(status.st_size), maxBytes);
}

std::string SizeText(std::uint64_t bytes) {
    return bytes % kMebibyte == 0 ? fmt::format("{} MiB", bytes / kMebibyte) : fmt::format("{} bytes", bytes);
}

}  // namespace

const char* FileKindText(mode_t mode) {
    if (S_ISLNK(mode)) {
        return "a link";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device file";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return S_ISDIR(mode) ? "a folder" : "a file";
}

std::string ReadBoundedFile(const std::filesystem::path& path, std::string_view role, LinkRule links,
                            std::uint64_t maxBytes) {
    BoundedRead read = Read(path, links, maxBytes);
    const std::string named = role.empty() ? fmt::format("{}", path) : fmt::format("{} {}", role, path);
    if (read.errnoValue != 0) {
        throw DeviceError(fmt::format("cannot read {}: {}", named, std::strerror(read.errnoValue)));
    }
    if (read.refusedMode != 0) {
        throw DeviceError(fmt::format("{} is {}, not a plain file", named, FileKindText(read.refusedMode)));
    }
    if (read.tooLarge) {
        throw DeviceError(fmt::format("{} is larger than {}", named, SizeText(maxBytes)));
    }
    return std::move(read.bytes);
}

std::optional<std::string> ReadBoundedFile(const std::filesystem::path& path, LinkRule links, std::uint64_t maxBytes,
                                           std::uint32_t& error) {
    BoundedRead read = Read(path, links, maxBytes);
    if (read.Read()) {
        return std::move(read.bytes);
    }
    error = read.tooLarge             ? platform::error::kInvalidData
            : read.refusedMode != 0   ? platform::error::kAccessDenied
                                      : DeviceErrorFromErrno(read.errnoValue);
    return std::nullopt;
}

}  // namespace velkor::shared
