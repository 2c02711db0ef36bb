#include "backend/shared/ErrnoErrors.h"

#include "platform/ErrorCodes.h"

#include <algorithm>
#include <array>
#include <cerrno>

namespace velkor::shared {
namespace {

namespace error = platform::error;

struct ErrnoMapping {
    int errnoValue;
    std::uint32_t deviceError;
};

constexpr std::array<ErrnoMapping, 14> kErrnoMappings{{
    {ENOENT, error::kFileNotFound},
    {ENOTDIR, error::kPathNotFound},
    {EACCES, error::kAccessDenied},
    {EPERM, error::kAccessDenied},
    {EISDIR, error::kAccessDenied},
    {EBADF, error::kAccessDenied},  // writing through a file opened for reading
    {ELOOP, error::kAccessDenied},
    {EROFS, error::kWriteProtect},
    {ENOSPC, error::kDiskFull},
    {EDQUOT, error::kDiskFull},
    {EFBIG, error::kDiskFull},
    {ENAMETOOLONG, error::kInvalidName},
    {EEXIST, error::kAlreadyExists},
    {EBUSY, error::kSharingViolation},
}};

}  // namespace

std::uint32_t DeviceErrorFromErrno(int errnoValue) {
    const auto found = std::find_if(kErrnoMappings.begin(), kErrnoMappings.end(),
                                    [&](const ErrnoMapping& mapping) { return mapping.errnoValue == errnoValue; });
    // Whatever else the host says, the device could not get at the file.
    return found != kErrnoMappings.end() ? found->deviceError : error::kAccessDenied;
}

}  // namespace velkor::shared
