#include "backend/shared/flash/PrefixDigest.h"

#include "backend/shared/DeviceFile.h"
#include "backend/shared/ErrnoErrors.h"
#include "platform/FileDigest.h"

#include <fcntl.h>

#include <cerrno>

namespace velkor::shared {

std::optional<platform::Sha256Digest> DigestOfPrefix(const std::filesystem::path& path, std::uint64_t length,
                                                     ErrorState& errors) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.IsValid()) {
        errors.Fail(DeviceErrorFromErrno(errno));
        return std::nullopt;
    }
    DeviceFile file(std::move(fd), errors);
    // A read that fails sets its own error; one that ends before `length` leaves this one.
    errors.Fail(platform::error::kCrc);
    return platform::DigestOfFile(file, length);
}

}  // namespace velkor::shared
