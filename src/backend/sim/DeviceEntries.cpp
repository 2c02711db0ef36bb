#include "backend/sim/DeviceEntries.h"

#include "backend/shared/DeviceError.h"
#include "backend/shared/UniqueFd.h"
#include "backend/shared/flash/FlashRegion.h"
#include "backend/shared/slots/BootState.h"
#include "backend/sim/DeviceFiles.h"

#include <fmt/format.h>
#include <fmt/std.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace velkor::sim {
namespace {

namespace fs = std::filesystem;

constexpr std::array kPlainFiles{device_files::kConfig,      device_files::kRegistry,
                                 device_files::kDebugLog,    device_files::kEventsLog,
                                 device_files::kEnvironment, device_files::kRedundantEnvironment,
                                 device_files::kCommandLine};
constexpr std::array kFolders{device_files::kRoot, device_files::kFlash};

const char* KindOf(mode_t mode) {
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

[[noreturn]] void Refuse(const fs::path& path, mode_t mode, bool wantsFolder) {
    const char* kind = wantsFolder ? "folders" : "files";
    throw shared::DeviceError(fmt::format("{} is {}: the device's own {} must be plain {} inside the device directory",
                                  path, KindOf(mode), kind, kind));
}

// Refuses an existing entry that is not a plain file (or folder), without following a link.
void CheckEntry(const fs::path& path, bool wantsFolder) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        if (errno == ENOENT) {
            return;
        }
        throw shared::DeviceError(fmt::format("cannot examine {}", path));
    }
    if (wantsFolder ? !S_ISDIR(status.st_mode) : !S_ISREG(status.st_mode)) {
        Refuse(path, status.st_mode, wantsFolder);
    }
}

}  // namespace

void CheckDeviceEntries(const fs::path& directory) {
    for (const std::string_view name : kPlainFiles) {
        CheckEntry(directory / name, false);
    }
    for (const std::string_view name : kFolders) {
        CheckEntry(directory / name, true);
    }
    for (const shared::FlashRegionInfo& region : shared::kFlashRegions) {
        CheckEntry(directory / device_files::kFlash / shared::RegionFileName(region), false);
        for (const shared::Slot slot : shared::kSlots) {
            CheckEntry(directory / device_files::kFlash / shared::SlotFileName(region, shared::SlotLetter(slot)), false);
        }
    }
}

std::string ReadDeviceFile(const fs::path& path) {
    // Not blocking, so that a FIFO put in its place is refused instead of waited on.
    const shared::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.IsValid()) {
        if (errno == ELOOP) {
            Refuse(path, S_IFLNK, false);
        }
        throw shared::DeviceError(fmt::format("cannot read {}: every device needs one", path));
    }
    struct stat status {};
    if (::fstat(fd.Get(), &status) != 0) {
        throw shared::DeviceError(fmt::format("cannot read {}", path));
    }
    if (!S_ISREG(status.st_mode)) {
        Refuse(path, status.st_mode, false);
    }
    // Read to its end, but never more than one byte past the limit, however large the file is or grows.
    std::string text(std::min<std::size_t>(static_cast<std::size_t>(status.st_size), kMaxDeviceFileBytes) + 1, '\0');
    std::size_t total = 0;
    for (;;) {
        if (total == text.size()) {
            if (total > kMaxDeviceFileBytes) {
                break;
            }
            text.resize(std::min<std::size_t>(total * 2, kMaxDeviceFileBytes + 1));
        }
        const ssize_t got = ::read(fd.Get(), text.data() + total, text.size() - total);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw shared::DeviceError(fmt::format("cannot read {}", path));
        }
        if (got == 0) {
            break;
        }
        total += static_cast<std::size_t>(got);
    }
    if (total > kMaxDeviceFileBytes) {
        throw shared::DeviceError(fmt::format("{} is larger than {} MiB", path, kMaxDeviceFileBytes / shared::kMebibyte));
    }
    text.resize(total);
    return text;
}

}  // namespace velkor::sim
