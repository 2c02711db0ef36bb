#include "backend/shared/BoundedFile.h"

#include "backend/shared/DeviceError.h"
#include "backend/shared/UniqueFd.h"

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

class BoundedRead {
public:
    BoundedRead(const std::filesystem::path& path, std::string_view role) : path_(path), role_(role) {}

    std::string Read(LinkRule links) const {
        const int noFollow = links == LinkRule::Refused ? O_NOFOLLOW : 0;
        // Not blocking, so that a FIFO put in its place is refused instead of waited on.
        const UniqueFd fd(::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | noFollow));
        if (!fd.IsValid()) {
            if (errno == ELOOP && noFollow != 0) {
                Refuse(S_IFLNK);
            }
            Fail(errno);
        }
        struct stat status {};
        if (::fstat(fd.Get(), &status) != 0) {
            Fail(errno);
        }
        if (!S_ISREG(status.st_mode)) {
            Refuse(status.st_mode);
        }
        return ReadToLimit(fd.Get(), static_cast<std::uint64_t>(status.st_size));
    }

private:
    std::string ReadToLimit(int fd, std::uint64_t statedSize) const {
        std::string text(std::min(statedSize, kMaxDescriptionBytes) + 1, '\0');
        std::size_t total = 0;
        for (;;) {
            if (total == text.size()) {
                if (total > kMaxDescriptionBytes) {
                    break;
                }
                text.resize(std::min<std::size_t>(total * 2, kMaxDescriptionBytes + 1));
            }
            const ssize_t got = ::read(fd, text.data() + total, text.size() - total);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                Fail(errno);
            }
            if (got == 0) {
                break;
            }
            total += static_cast<std::size_t>(got);
        }
        if (total > kMaxDescriptionBytes) {
            throw DeviceError(fmt::format("{}{} is larger than {} MiB", Role(), path_, kMaxDescriptionBytes / kMebibyte));
        }
        text.resize(total);
        return text;
    }

    std::string Role() const { return role_.empty() ? std::string() : fmt::format("{} ", role_); }

    [[noreturn]] void Fail(int errnoValue) const {
        throw DeviceError(fmt::format("cannot read {}{}: {}", Role(), path_, std::strerror(errnoValue)));
    }

    [[noreturn]] void Refuse(mode_t mode) const {
        throw DeviceError(fmt::format("{}{} is {}, not a plain file", Role(), path_, FileKindText(mode)));
    }

    const std::filesystem::path& path_;
    std::string_view role_;
};

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

std::string ReadBoundedFile(const std::filesystem::path& path, std::string_view role, LinkRule links) {
    return BoundedRead(path, role).Read(links);
}

}  // namespace velkor::shared
