#include "backend/board/flash/RegionDevice.h"

#include "backend/shared/ErrnoErrors.h"
#include "backend/shared/PlainFile.h"
#include "backend/board/flash/DeviceUse.h"

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
    const std::optional<HostView> host = HostView::Current();
    // Without the mount table nothing says the device is free to write.
    if (!host || IsMounted(number, *host) || HoldsRootFileSystem(number, *host)) {
        return Fail(errors, error::kAccessDenied);
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
    shared::UniqueFd fd = shared::OpenPlainFile(AT_FDCWD, path.c_str(), O_RDWR);
    if (!fd.IsValid()) {
        return ErrnoFailure(errors, errno);
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
