#include "backend/shared/flash/DirectMedium.h"

#include "backend/shared/FullWrite.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <string_view>

namespace velkor::shared {
namespace {

// Reads `count` bytes at `offset`, fewer only at the end of the file; -1 with errno set.
std::int64_t ReadAt(int fd, char* data, std::size_t count, std::uint64_t offset, bool direct) {
    std::size_t total = 0;
    while (total < count) {
        const ssize_t got = ::pread(fd, data + total, count - total, static_cast<off_t>(offset + total));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return -1;
        }
        total += static_cast<std::size_t>(got);
        // A direct read may go on only from an aligned offset; anything shorter is the end.
        if (got == 0 || (direct && total % AlignedBuffer::kAlignment != 0)) {
            break;
        }
    }
    return static_cast<std::int64_t>(total);
}

bool Aligned(std::uint64_t value) { return value % AlignedBuffer::kAlignment == 0; }

// The region again, opened for direct I/O through its descriptor with the access it was opened
// with, so it is the very file or device the caller holds (a block device's exclusive claim stays
// the caller's); invalid where direct I/O is refused.
UniqueFd OpenDirect(int region) {
    const int flags = ::fcntl(region, F_GETFL);
    if (flags < 0) {
        return UniqueFd();
    }
    const std::string self = "/proc/self/fd/" + std::to_string(region);
    return UniqueFd(::open(self.c_str(), (flags & O_ACCMODE) | O_DIRECT | O_CLOEXEC));
}

}  // namespace

DirectMedium::DirectMedium(int region) : region_(region), direct_(OpenDirect(region)) {}

std::int64_t DirectMedium::Read(const AlignedBuffer& buffer, std::uint32_t count, std::uint64_t offset) {
    if (Direct()) {
        const std::int64_t read = ReadDirect(buffer, count, offset);
        if (read >= 0 || errno != EINVAL) {
            return read;
        }
        RefusedDirect();
    }
    return ReadAt(region_, buffer.Data(), count, offset, false);
}

std::int64_t DirectMedium::ReadDirect(const AlignedBuffer& buffer, std::uint32_t count, std::uint64_t offset) {
    // The request runs on to the alignment; what lies past `count` is not the caller's.
    const std::int64_t read = ReadAt(direct_.Get(), buffer.Data(), AlignedUp(count), offset, true);
    return read < 0 ? read : std::min<std::int64_t>(read, count);
}

bool DirectMedium::Write(const char* data, std::uint32_t count, std::uint64_t offset) {
    const bool aligned = Aligned(reinterpret_cast<std::uintptr_t>(data)) && Aligned(count) && Aligned(offset);
    if (Direct() && aligned) {
        if (WriteFullyAt(direct_.Get(), std::string_view(data, count), offset)) {
            return true;
        }
        if (errno != EINVAL) {
            return false;
        }
        RefusedDirect();
    }
    return WriteFullyAt(region_, std::string_view(data, count), offset);
}

}  // namespace velkor::shared
