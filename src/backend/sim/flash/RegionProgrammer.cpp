#include "backend/sim/flash/RegionProgrammer.h"

#include "backend/shared/ErrnoErrors.h"
#include "backend/shared/PlainFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace velkor::sim {
namespace {

constexpr mode_t kFolderPermissions = 0755;
constexpr mode_t kFilePermissions = 0644;

}  // namespace

RegionProgrammer::RegionProgrammer(std::filesystem::path regionFile, std::uint64_t capacity, bool readBackDiffers,
                                   PowerCut& powerCut, shared::ErrorState& errors)
    : regionFile_(std::move(regionFile)),
      capacity_(capacity),
      readBackDiffers_(readBackDiffers),
      powerCut_(powerCut),
      errors_(errors) {}

bool RegionProgrammer::Program(platform::File& image, shared::ImageExpectation* expectation) {
    if (image.Length() > capacity_) {
        return errors_.Fail(platform::error::kDiskFull);
    }
    const shared::UniqueFd region = OpenRegion();
    if (!region.IsValid()) {
        return false;
    }
    shared::RegionWriter writer(region.Get(), capacity_, errors_, WriterHooks(), expectation);
    const std::optional<std::uint64_t> length = writer.Write(image);
    bytesWritten_ = writer.BytesWritten();
    if (!length) {
        return false;
    }
    // A shorter image than the last one leaves nothing of it behind.
    if (::ftruncate(region.Get(), static_cast<off_t>(*length)) != 0) {
        return ErrnoFailure(errno);
    }
    return writer.Verify(*length);
}

shared::UniqueFd RegionProgrammer::OpenRegion() {
    const std::filesystem::path folder = regionFile_.parent_path();
    if (::mkdir(folder.c_str(), kFolderPermissions) != 0 && errno != EEXIST) {
        ErrnoFailure(errno);
        return shared::UniqueFd();
    }
    // Neither DIR/flash nor the region may be a link, so the driver writes nothing but the device's
    // own regions; a region that is not a plain file (a FIFO, say) is refused before any write.
    const shared::UniqueFd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folderFd.IsValid()) {
        // What stands there is a link or a file, not the driver's own folder: refused, as a link is.
        ErrnoFailure(errno == ENOTDIR ? ELOOP : errno);
        return shared::UniqueFd();
    }
    // Not truncated: a region is programmed in place, as flash is.
    shared::UniqueFd region =
        shared::OpenPlainFile(folderFd.Get(), regionFile_.filename().c_str(), O_RDWR | O_CREAT, kFilePermissions);
    if (!region.IsValid()) {
        ErrnoFailure(errno);
    }
    return region;
}

shared::RegionWriter::Hooks RegionProgrammer::WriterHooks() const {
    shared::RegionWriter::Hooks hooks;
    if (readBackDiffers_) {
        hooks.readBack = [](std::span<char> chunk, std::uint64_t offset) {
            if (offset == 0) {
                chunk[0] = static_cast<char>(~chunk[0]);
            }
        };
    }
    if (powerCut_.Armed()) {
        hooks.writing = [this](std::uint64_t offset, std::uint32_t count) {
            powerCut_.RegionWriting(regionFile_, offset, count);
        };
        hooks.flushed = [this] { powerCut_.RegionFlushed(regionFile_); };
    }
    return hooks;
}

bool RegionProgrammer::ErrnoFailure(int errnoValue) { return errors_.Fail(shared::DeviceErrorFromErrno(errnoValue)); }

}  // namespace velkor::sim
