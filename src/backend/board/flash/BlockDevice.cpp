#include "backend/board/flash/BlockDevice.h"

#include "backend/shared/UniqueFd.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <charconv>

namespace velkor::board {
namespace {

bool ParseNumber(std::string_view text, unsigned& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

std::optional<BlockDeviceInfo> ExamineBlockDevice(int fd, const struct stat& status) {
    std::uint64_t sizeBytes = 0;
    int sectorBytes = 0;
    if (::ioctl(fd, BLKGETSIZE64, &sizeBytes) != 0 || ::ioctl(fd, BLKSSZGET, &sectorBytes) != 0) {
        return std::nullopt;
    }
    return BlockDeviceInfo{PathKind::BlockDevice, sizeBytes, static_cast<std::uint32_t>(sectorBytes),
                           {::major(status.st_rdev), ::minor(status.st_rdev)}};
}

BlockDeviceInfo ExamineOther(const struct stat& status) {
    if (S_ISREG(status.st_mode)) {
        return {PathKind::RegularFile, static_cast<std::uint64_t>(status.st_size), kFileSectorBytes, {}};
    }
    return {PathKind::Other, 0, 0, {}};
}

}  // namespace

std::optional<DeviceNumber> ParseDeviceNumber(std::string_view text) {
    const std::size_t colon = text.find(':');
    DeviceNumber number;
    if (colon == std::string_view::npos || !ParseNumber(text.substr(0, colon), number.major) ||
        !ParseNumber(text.substr(colon + 1), number.minor)) {
        return std::nullopt;
    }
    return number;
}

std::optional<BlockDeviceInfo> ExaminePath(const std::filesystem::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return BlockDeviceInfo{};
        }
        return std::nullopt;
    }
    if (!S_ISBLK(status.st_mode)) {
        return ExamineOther(status);
    }
    const shared::UniqueFd device(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    return device.IsValid() ? ExamineDescriptor(device.Get()) : std::nullopt;
}

std::optional<BlockDeviceInfo> ExamineDescriptor(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return std::nullopt;
    }
    return S_ISBLK(status.st_mode) ? ExamineBlockDevice(fd, status) : ExamineOther(status);
}

}  // namespace velkor::board
