#include "DiskLimit.h"

#include "BenchTiming.h"
#include "backend/shared/UniqueFd.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace velkor::bench {
namespace {

constexpr std::size_t kRequestBytes = 8 * 1024 * 1024;
constexpr std::size_t kDirectAlignment = 4096;

// Reads (or, with `in`, copies from `in` and writes) `length` bytes of `out` in direct requests.
bool Stream(int in, int out, char* buffer, std::uint64_t length) {
    for (std::uint64_t offset = 0; offset < length; offset += kRequestBytes) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(kRequestBytes, length - offset));
        const auto at = static_cast<off_t>(offset);
        const bool done = in >= 0 ? ::pread(in, buffer, count, at) == static_cast<ssize_t>(count) &&
                                        ::pwrite(out, buffer, count, at) == static_cast<ssize_t>(count)
                                  : ::pread(out, buffer, count, at) == static_cast<ssize_t>(count);
        if (!done) {
            return false;
        }
    }
    return true;
}

}  // namespace

DiskLimit::DiskLimit() : buffer_(static_cast<char*>(std::aligned_alloc(kDirectAlignment, kRequestBytes))) {
    std::fill_n(buffer_.get(), kRequestBytes, 1);
}

void DiskLimit::Free::operator()(char* data) const { std::free(data); }

bool DiskLimit::Write(const std::filesystem::path& image, const std::filesystem::path& region,
                      std::uint64_t length) const {
    const shared::UniqueFd in(::open(image.c_str(), O_RDONLY | O_CLOEXEC));
    const shared::UniqueFd out(::open(region.c_str(), O_RDWR | O_DIRECT | O_CLOEXEC));
    return in.IsValid() && out.IsValid() && Stream(in.Get(), out.Get(), buffer_.get(), length) &&
           ::fdatasync(out.Get()) == 0 && Stream(-1, out.Get(), buffer_.get(), length);
}

double DiskLimit::ReadSeconds(const std::filesystem::path& region, std::uint64_t length) const {
    const shared::UniqueFd out(::open(region.c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC));
    bool read = false;
    const double seconds = SecondsOf([&] { read = out.IsValid() && Stream(-1, out.Get(), buffer_.get(), length); });
    return read ? seconds : -1;
}

void DropFromCache(const std::filesystem::path& path) {
    const shared::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.IsValid()) {
        ::fdatasync(fd.Get());
        ::posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_DONTNEED);
    }
}

}  // namespace velkor::bench
