#include "backend/board/flash/DeviceSpan.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>

namespace velkor::board {

std::optional<DeviceSpan> DeviceSpan::Of(const std::filesystem::path& path, const std::filesystem::path& sysfs) {
    const std::optional<BlockDeviceInfo> info = ExaminePath(path);
    if (!info) {
        return std::nullopt;
    }
    if (info->kind == PathKind::RegularFile) {
        struct stat status {};
        if (::stat(path.c_str(), &status) != 0) {
            return std::nullopt;
        }
        return DeviceSpan(true, status.st_dev, status.st_ino, 0, info->sizeBytes);
    }
    if (info->kind != PathKind::BlockDevice) {
        errno = info->kind == PathKind::Missing ? ENOENT : EINVAL;
        return std::nullopt;
    }
    const DeviceNumber disk = ParentDisk(info->number, sysfs).value_or(info->number);
    const std::uint64_t start = PartitionStart(info->number, sysfs).value_or(0);
    return DeviceSpan(false, ::makedev(disk.major, disk.minor), 0, start, info->sizeBytes);
}

DeviceSpan DeviceSpan::Part(std::uint64_t offset, std::uint64_t length) const {
    return DeviceSpan(isFile_, device_, inode_, start_ + offset, length);
}

bool DeviceSpan::Overlaps(const DeviceSpan& other) const {
    const bool sameMedium = isFile_ == other.isFile_ && device_ == other.device_ && inode_ == other.inode_;
    return sameMedium && start_ < other.start_ + other.length_ && other.start_ < start_ + length_;
}

}  // namespace velkor::board
