#include "backend/board/storage/MkfsFatFormatter.h"

#include "backend/shared/storage/FatRecords.h"
#include "backend/board/storage/PartitionDevice.h"
#include "backend/board/storage/TargetPartition.h"

#include <optional>
#include <string>

namespace velkor::board {
namespace {

namespace error = platform::error;

// mkfs.fat's command line for `options` on the partition's device; nothing when the cluster size
// is no whole number of the device's sectors.
std::optional<CommandLine> MkfsCommand(const PartitionTarget& partition, std::uint32_t sectorBytes,
                                       const platform::FormatOptions& options) {
    if (options.clusterBytes == 0 || options.clusterBytes % sectorBytes != 0) {
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
    const std::optional<bool> mounted = geometry ? IsPartitionMounted(*device, errors_) : std::nullopt;
    if (!mounted) {
        return errors_.Last();
    }
    if (*mounted) {
        return error::kSharingViolation;
    }
    const std::optional<CommandLine> command = MkfsCommand(partition, device->sectorBytes, options);
    if (disk != shared::DiskInfoRecord(*geometry) || !command) {
        return error::kInvalidParameter;
    }
    const std::optional<int> status = runner_.Execute(*command, {});
    if (!status) {
        return error::kFileNotFound;
    }
    // mkfs.fat refuses options it cannot lay out before it writes anything.
    return *status == 0 ? error::kSuccess : error::kInvalidParameter;
}

}  // namespace velkor::board
