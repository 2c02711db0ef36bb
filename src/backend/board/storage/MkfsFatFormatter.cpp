#include "backend/board/storage/MkfsFatFormatter.h"

#include "backend/shared/ErrnoErrors.h"
#include "backend/shared/UniqueFd.h"
#include "backend/shared/storage/FatRecords.h"
#include "backend/shared/storage/FormatOptionRules.h"
#include "backend/board/storage/PartitionDevice.h"
#include "backend/board/storage/TargetPartition.h"

#include <fcntl.h>

#include <cerrno>
#include <optional>
#include <string>

namespace velkor::board {
namespace {

namespace error = platform::error;

// mkfs.fat's command line for `options` on the partition's device; nothing for options it would
// not lay out exactly as asked.
std::optional<CommandLine> MkfsCommand(const PartitionTarget& partition, std::uint32_t sectorBytes,
                                       const platform::FormatOptions& options) {
    if (!shared::AreFormatOptions(sectorBytes, options)) {
        return std::nullopt;
    }
    return CommandLine{"mkfs.fat",
                       "-F", std::to_string(options.fatVersion),
                       "-s", std::to_string(options.clusterBytes / sectorBytes),
                       "-S", std::to_string(sectorBytes),
                       "-r", std::to_string(options.rootEntries),
                       "-f", std::to_string(options.numberOfFats),
                       partition.device.string()};
}

// Why the device cannot be claimed for writing now: kSharingViolation while a mount, device-mapper
// or another program holds it exclusively, the host's error mapped when it cannot be opened for
// writing; kSuccess when it can. mkfs.fat claims it the same way.
std::uint32_t ClaimError(const std::filesystem::path& device) {
    const shared::UniqueFd claim(::open(device.c_str(), O_RDWR | O_EXCL | O_NONBLOCK | O_CLOEXEC));
    return claim.IsValid() ? error::kSuccess : shared::DeviceErrorFromErrno(errno);
}

}  // namespace

MkfsFatFormatter::MkfsFatFormatter(const CommandRunner& runner, shared::ErrorState& errors, shared::EventLog& events)
    : runner_(runner), errors_(errors), events_(events) {}

std::uint32_t MkfsFatFormatter::Format(platform::Partition& partition, const platform::DiskInfo& disk,
                                       const platform::FormatOptions& options) {
    const auto* targetPartition = dynamic_cast<const TargetPartition*>(&partition);
    const std::uint32_t result =
        targetPartition ? FormatPartition(targetPartition->Target(), disk, options) : error::kInvalidHandle;
    // A partition of another kind has no names to log; "-" stands for each.
    const std::string label = targetPartition ? targetPartition->Label() : "- -";
    events_.Format(label, options, result);
    return errors_.Report(result);
}

std::uint32_t MkfsFatFormatter::FormatPartition(const PartitionTarget& partition, const platform::DiskInfo& disk,
                                                const platform::FormatOptions& options) {
    const std::optional<BlockDeviceInfo> device = ExaminePartitionDevice(partition.device, errors_);
    const std::optional<shared::DiskGeometry> geometry = device ? PartitionGeometry(*device, errors_) : std::nullopt;
    const std::optional<StorageUse> use =
        geometry ? PartitionUse(*device, partition.device, OwnMounts::Count, errors_) : std::nullopt;
    if (!use) {
        return errors_.Last();
    }
    if (use->kind != UseKind::Free) {
        return error::kSharingViolation;
    }
    const std::optional<CommandLine> command = MkfsCommand(partition, device->sectorBytes, options);
    if (disk != shared::DiskInfoRecord(*geometry) || !command) {
        return error::kInvalidParameter;
    }
    if (!IsStillTheDevice(partition.device, *device, errors_)) {
        return errors_.Last();
    }
    const std::uint32_t claim = ClaimError(partition.device);
    if (claim != error::kSuccess) {
        return claim;
    }
    return MkfsError(runner_.Execute(*command, {}), partition.device);
}

std::uint32_t MkfsFatFormatter::MkfsError(const CommandEnd& end, const std::filesystem::path& device) {
    switch (end.kind) {
        case CommandEnd::Kind::NotStarted:
            return error::kFileNotFound;
        case CommandEnd::Kind::TimedOut:
            return error::kTimeout;
        case CommandEnd::Kind::Exited:
            break;
    }
    if (end.status == 0) {
        return error::kSuccess;
    }
    // mkfs.fat says why only in words; a device that cannot be claimed now was what it met.
    const std::uint32_t claim = ClaimError(device);
    return claim != error::kSuccess ? claim : error::kInvalidParameter;
}

}  // namespace velkor::board
