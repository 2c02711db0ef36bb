#include "backend/shared/DeviceLock.h"

#include "backend/shared/DeviceError.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <cstring>

#include <fmt/format.h>
#include <fmt/std.h>

namespace velkor::shared {

DeviceLock::DeviceLock(const std::filesystem::path& folder) {
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    const std::filesystem::path path = folder / kDeviceLockFile;
    // Close-on-exec: a command the program starts must not keep the device locked after it.
    file_ = UniqueFd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (!file_.IsValid()) {
        throw DeviceError(fmt::format("cannot open the device's lock {}: {}", path, std::strerror(errno)));
    }
    if (::flock(file_.Get(), LOCK_EX | LOCK_NB) != 0) {
        throw DeviceError(errno == EWOULDBLOCK
                              ? fmt::format("another program drives this device now (it holds {}): the "
                                            "operator's program, or another install",
                                            path)
                              : fmt::format("cannot lock {}: {}", path, std::strerror(errno)));
    }
}

}  // namespace velkor::shared
