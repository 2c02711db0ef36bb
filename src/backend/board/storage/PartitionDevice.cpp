#include "backend/board/storage/PartitionDevice.h"

#include "backend/shared/ErrnoErrors.h"
#include "backend/shared/UniqueFd.h"
#include "platform/ErrorCodes.h"
#include "backend/board/flash/DeviceUse.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

namespace velkor::board {
namespace {

namespace error = platform::error;

std::optional<HostView> CurrentView(shared::ErrorState& errors) {
    std::optional<HostView> view = HostView::Current();
    if (!view) {
        errors.Fail(shared::DeviceErrorFromErrno(errno));
    }
    return view;
}

}  // namespace

std::optional<BlockDeviceInfo> ExaminePartitionDevice(const std::filesystem::path& device, shared::ErrorState& errors) {
    const std::optional<BlockDeviceInfo> info = ExaminePath(device);
    if (!info) {
        errors.Fail(shared::DeviceErrorFromErrno(errno));
        return std::nullopt;
    }
    if (info->kind != PathKind::BlockDevice) {
        errors.Fail(info->kind == PathKind::Missing ? error::kFileNotFound : error::kNotSupported);
        return std::nullopt;
    }
    return info;
}

std::optional<shared::DiskGeometry> PartitionGeometry(const BlockDeviceInfo& device, shared::ErrorState& errors) {
    const std::uint64_t sectors = device.sizeBytes / device.sectorBytes;
    if (sectors > std::numeric_limits<std::uint32_t>::max()) {
        errors.Fail(error::kNotSupported);
        return std::nullopt;
    }
    return shared::DiskGeometry{static_cast<std::uint32_t>(sectors), device.sectorBytes, 0, 0};
}

std::optional<bool> IsPartitionMounted(const BlockDeviceInfo& device, shared::ErrorState& errors) {
    const std::optional<HostView> view = CurrentView(errors);
    return view ? std::optional(IsMounted(device.number, *view)) : std::nullopt;
}

std::optional<bool> IsPartitionMountedAt(const BlockDeviceInfo& device, const std::filesystem::path& mountPoint,
                                         shared::ErrorState& errors) {
    const std::optional<HostView> view = CurrentView(errors);
    std::error_code ignored;
    // A mount point that is not there is mounted from nothing, as it stands.
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(mountPoint, ignored);
    return view ? std::optional(IsMountedAt(device.number, resolved, *view)) : std::nullopt;
}

std::optional<StorageUse> PartitionUse(const BlockDeviceInfo& info, const std::filesystem::path& device, OwnMounts own,
                                       shared::ErrorState& errors) {
    const std::optional<HostView> view = CurrentView(errors);
    return view ? std::optional(UseOf({StorageId::Block(info.number), device.string()}, *view, own)) : std::nullopt;
}

bool IsStillTheDevice(const std::filesystem::path& device, const BlockDeviceInfo& checked, shared::ErrorState& errors) {
    const std::optional<StorageId> now = StorageId::OfPath(device);
    if (!now || *now != StorageId::Block(checked.number)) {
        return errors.Fail(error::kAccessDenied);
    }
    return true;
}

std::optional<FirstSector> ReadFirstSector(const std::filesystem::path& device, shared::ErrorState& errors) {
    const shared::UniqueFd fd(::open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (fd.IsValid() && ::fstat(fd.Get(), &status) == 0 && !S_ISBLK(status.st_mode)) {
        errors.Fail(error::kNotSupported);
        return std::nullopt;
    }
    FirstSector sector{};
    const ssize_t read = fd.IsValid() ? ::pread(fd.Get(), sector.data(), sector.size(), 0) : -1;
    if (read < 0) {
        errors.Fail(shared::DeviceErrorFromErrno(errno));
        return std::nullopt;
    }
    if (static_cast<std::size_t>(read) != sector.size()) {
        errors.Fail(error::kInvalidData);
        return std::nullopt;
    }
    return sector;
}

}  // namespace velkor::board
