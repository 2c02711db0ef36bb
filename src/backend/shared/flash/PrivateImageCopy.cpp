#include "backend/shared/flash/PrivateImageCopy.h"

#include "backend/shared/DeviceFile.h"
#include "backend/shared/ErrnoErrors.h"
#include "backend/shared/FullWrite.h"
#include "backend/shared/UniqueFd.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace velkor::shared {
namespace {

constexpr std::uint32_t kChunkBytes = 1024 * 1024;
constexpr unsigned kSeals = F_SEAL_WRITE | F_SEAL_GROW | F_SEAL_SHRINK | F_SEAL_SEAL;

// Streams the image into `copy`; false with the last error set.
bool Fill(platform::File& image, int copy, ImageExpectation& expectation, ErrorState& errors) {
    std::vector<char> chunk(kChunkBytes);
    for (;;) {
        std::uint32_t count = 0;
        if (!image.Read(chunk.data(), kChunkBytes, count)) {
            return false;
        }
        if (count == 0 && !expectation.StreamMatches()) {
            return errors.Fail(platform::error::kCrc);
        }
        if (count == 0) {
            return true;
        }
        if (!expectation.Streamed(chunk.data(), count)) {
            return errors.Fail(platform::error::kCrc);
        }
        if (!WriteFully(copy, std::string_view(chunk.data(), count))) {
            return errors.Fail(DeviceErrorFromErrno(errno));
        }
    }
}

}  // namespace

std::unique_ptr<platform::File> MakePrivateCopy(platform::File& image, ImageExpectation& expectation,
                                                ErrorState& errors) {
    UniqueFd copy(::memfd_create("velkor-image", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (!copy.IsValid()) {
        errors.Fail(DeviceErrorFromErrno(errno));
        return nullptr;
    }
    if (!Fill(image, copy.Get(), expectation, errors)) {
        return nullptr;
    }
    if (::fcntl(copy.Get(), F_ADD_SEALS, kSeals) != 0 || ::lseek(copy.Get(), 0, SEEK_SET) != 0) {
        errors.Fail(DeviceErrorFromErrno(errno));
        return nullptr;
    }
    return std::make_unique<DeviceFile>(std::move(copy), errors);
}

}  // namespace velkor::shared
