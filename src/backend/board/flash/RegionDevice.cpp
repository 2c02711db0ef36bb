#include "backend/board/flash/RegionDevice.h"

#include "backend/shared/ErrnoErrors.h"
#include "backend/board/flash/DeviceUse.h"
#include "backend/board/flash/UnlinkedPath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>

namespace velkor::board {
namespace {

namespace error = platform::error;

std::nullopt_t Fail(shared::ErrorState& errors, std::uint32_t code) {
    errors.Fail(code);
    return std::nullopt;
}

std::nullopt_t ErrnoFailure(shared::ErrorState& errors, int errnoValue) {
    return Fail(errors, shared::DeviceErrorFromErrno(errnoValue));
}

// Refuses, before anything is written, storage that another user has: mounted, holding the root,
// held, swapped to, or (a file) set up as a loop device.
bool IsFree(const StorageAlias& region, shared::ErrorState& errors) {
    const std::optional<HostView> host = HostView::Current();
    // Without the mount table nothing says the region is free to write.
    if (!host || UseOf(region, *host).kind != UseKind::Free) {
        return errors.Fail(error::kAccessDenied);
    }
    return true;
}

}  // namespace

std::optional<RegionDevice> RegionDevice::Open(const std::filesystem::path& path, shared::ErrorState& errors) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return ErrnoFailure(errors, errno);
    }
    if (S_ISBLK(status.st_mode)) {
        return OpenBlockDevice(path, {::major(status.st_rdev), ::minor(status.st_rdev)}, errors);
    }
    if (S_ISREG(status.st_mode)) {
        return OpenRegularFile(path, errors);
    }
    return Fail(errors, error::kAccessDenied);
}

std::optional<RegionDevice> RegionDevice::OpenBlockDevice(const std::filesystem::path& path, DeviceNumber number,
                                                          shared::ErrorState& errors) {
    if (!IsFree({StorageId::Block(number), path.string()}, errors)) {
        return std::nullopt;
    }
    // O_EXCL claims a block device for this descriptor alone; EBUSY, a sharing violation, when
    // a mount or another program has claimed it.
    shared::UniqueFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_EXCL));
    if (!fd.IsValid()) {
        return ErrnoFailure(errors, errno);
    }
    return Examined(std::move(fd), PathKind::BlockDevice, number, errors);
}

std::optional<RegionDevice> RegionDevice::OpenRegularFile(const std::filesystem::path& path,
                                                          shared::ErrorState& errors) {
    shared::UniqueFd fd = OpenWithoutLinks(path, O_RDWR);
    struct stat status {};
    if (!fd.IsValid() || ::fstat(fd.Get(), &status) != 0) {
        return ErrnoFailure(errors, errno);
    }
    if (!IsFree({*StorageId::Of(status), path.string()}, errors)) {
        return std::nullopt;
    }
    return Examined(std::move(fd), PathKind::RegularFile, {}, errors);
}

std::optional<RegionDevice> RegionDevice::Examined(shared::UniqueFd fd, PathKind kind, DeviceNumber number,
                                                   shared::ErrorState& errors) {
    const std::optional<BlockDeviceInfo> info = ExamineDescriptor(fd.Get());
    if (!info) {
        return ErrnoFailure(errors, errno);
    }
    // The path was pointed elsewhere between the checks and the open.
    if (info->kind != kind || info->number != number) {
        return Fail(errors, error::kAccessDenied);
    }
    return RegionDevice(std::move(fd), info->sizeBytes);
}

}  // namespace velkor::board
