#include "backend/sim/storage/FatFormatter.h"

#include "backend/shared/storage/FatLayout.h"
#include "backend/shared/storage/FatRecords.h"
#include "backend/shared/storage/FormatOptionRules.h"
#include "backend/sim/storage/SimPartition.h"
#include "backend/sim/storage/VolumeFolder.h"

#include <fmt/format.h>

#include <algorithm>
#include <limits>

namespace velkor::sim {
namespace {

namespace error = platform::error;

}  // namespace

FatFormatter::FatFormatter(StorageContext& context) : context_(context) {}

std::uint32_t FatFormatter::Format(platform::Partition& partition, const platform::DiskInfo& disk,
                                   const platform::FormatOptions& options) {
    auto* simPartition = dynamic_cast<SimPartition*>(&partition);
    const std::uint32_t result =
        simPartition ? FormatPartition(simPartition->State(), disk, options) : error::kInvalidHandle;
    // A partition of another kind has no names to log; "-" stands for each.
    const std::string label = simPartition ? simPartition->State().Label() : "- -";
    context_.events.Format(label, options, result);
    return context_.errors.Report(result);
}

std::optional<shared::FatParameters> FatFormatter::Reformatted(const shared::FatParameters& current,
                                                             const platform::FormatOptions& options) {
    if (!shared::AreFormatOptions(current.bytesPerSector, options)) {
        return std::nullopt;
    }
    const shared::FatVersion* version = shared::FindFatVersion(options.fatVersion);
    shared::FatParameters formatted = current;
    formatted.sectorsPerCluster = options.clusterBytes / current.bytesPerSector;
    formatted.rootEntries = options.rootEntries;
    formatted.fats = options.numberOfFats;
    // A FAT too large for its 16-bit field fails the field check below.
    formatted.sectorsPerFat = static_cast<std::uint32_t>(std::min<std::uint64_t>(
        shared::FormatterSectorsPerFat(formatted, version->bits), std::numeric_limits<std::uint32_t>::max()));
    const std::uint32_t clusters = shared::DataClusters(formatted);
    if (!shared::FitsFields(formatted) || clusters < version->minClusters || clusters > version->maxClusters) {
        return std::nullopt;
    }
    return formatted;
}

std::uint32_t FatFormatter::FormatPartition(PartitionState& partition, const platform::DiskInfo& disk,
                                            const platform::FormatOptions& options) {
    if (context_.faults.formatFails) {
        return error::kAccessDenied;
    }
    if (context_.state.IsMounted(partition)) {
        return error::kSharingViolation;
    }
    const std::optional<shared::FatParameters> formatted = Reformatted(partition.fat, options);
    if (disk != shared::DiskInfoRecord(partition.fat) || !formatted) {
        return error::kInvalidParameter;
    }
    if (!VolumeFolder(context_.root, partition.config.folder, context_.errors).Empty()) {
        return context_.errors.Last();
    }
    partition.fat = *formatted;
    return error::kSuccess;
}

}  // namespace velkor::sim
