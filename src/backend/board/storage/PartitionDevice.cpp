#include "backend/board/storage/PartitionDevice.h"

#include "backend/shared/ErrnoErrors.h"
#include "backend/shared/UniqueFd.h"
#include "platform/ErrorCodes.h"
#include "backend/board/flash/DeviceUse.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

namespace velkor::board {
namespace {

namespace error = platform::error;

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
    const std::optional<HostView> view = HostView::Current();
    if (!view) {
        errors.Fail(shared::DeviceErrorFromErrno(errno));
        return std::nullopt;
    }
    return IsMounted(device.number, *view);
}

std::optional<FirstSector> ReadFirstSector(const std::filesystem::path& device, shared::ErrorState& errors) {
    const shared::UniqueFd fd(::open(device.c_str(), O_RDONLY | O_CLOEXEC));
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
