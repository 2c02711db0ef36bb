#include "target/flash/RegionDevice.h"

#include "host/HostErrors.h"
#include "host/PlainFile.h"
#include "target/flash/DeviceUse.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>

namespace velkor::target {
namespace {

namespace error = platform::error;

std::nullopt_t Fail(host::ErrorState& errors, std::uint32_t code) {
    errors.Fail(code);
    return std::nullopt;
}

std::nullopt_t HostFailure(host::ErrorState& errors, int hostError) {
    return Fail(errors, host::DeviceErrorFromErrno(hostError));
}

}  // namespace

std::optional<RegionDevice> RegionDevice::Open(const std::filesystem::path& path, host::ErrorState& errors) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return HostFailure(errors, errno);
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
                                                          host::ErrorState& errors) {
    const std::optional<HostView> host = HostView::Current();
    // Without the mount table nothing says the device is free to write.
    if (!host || IsMounted(number, *host) || HoldsRootFileSystem(number, *host)) {
        return Fail(errors, error::kAccessDenied);
    }
    // O_EXCL claims a block device for this descriptor alone; EBUSY, a sharing violation, when
    // a mount or another program has claimed it.
    host::UniqueFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_EXCL));
    if (!fd.IsValid()) {
        return HostFailure(errors, errno);
    }
    return Examined(std::move(fd), PathKind::BlockDevice, number, errors);
}

std::optional<RegionDevice> RegionDevice::OpenRegularFile(const std::filesystem::path& path,
                                                          host::ErrorState& errors) {
    host::UniqueFd fd = host::OpenPlainFile(AT_FDCWD, path.c_str(), O_RDWR);
    if (!fd.IsValid()) {
        return HostFailure(errors, errno);
    }
    return Examined(std::move(fd), PathKind::RegularFile, {}, errors);
}

std::optional<RegionDevice> RegionDevice::Examined(host::UniqueFd fd, PathKind kind, DeviceNumber number,
                                                   host::ErrorState& errors) {
    const std::optional<BlockDeviceInfo> info = ExamineDescriptor(fd.Get());
    if (!info) {
        return HostFailure(errors, errno);
    }
    // The path was pointed elsewhere between the checks and the open.
    if (info->kind != kind || info->number != number) {
        return Fail(errors, error::kAccessDenied);
    }
    return RegionDevice(std::move(fd), info->sizeBytes);
}

}  // namespace velkor::target
