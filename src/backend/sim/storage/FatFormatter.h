#pragma once

#include "backend/shared/storage/FatParameters.h"
#include "platform/FormatLibrary.h"
#include "backend/sim/storage/PartitionState.h"
#include "backend/sim/storage/StorageContext.h"

#include <cstdint>
#include <optional>

namespace velkor::sim {

// The format library's FormatVolume: lays a new FAT file system over a dismounted partition of
// the device. The options are checked as a FAT formatter checks them, and a refused format changes
// nothing. Each call is one events.log line.
class FatFormatter {
public:
    explicit FatFormatter(StorageContext& context);

    // 0 on success; kInvalidHandle for a partition the device did not open, kSharingViolation for a
    // mounted one, kInvalidParameter for disk information other than the partition's or options a
    // FAT cannot have, kAccessDenied when the formatFails switch is on, or why the volume's folder
    // could not be emptied.
    std::uint32_t Format(platform::Partition& partition, const platform::DiskInfo& disk,
                         const platform::FormatOptions& options);

    // The parameters a format with `options` gives a volume of `current`: the cluster size, root
    // entries and FATs asked for, and the FAT size a formatter computes; nothing when the options
    // are refused.
    static std::optional<shared::FatParameters> Reformatted(const shared::FatParameters& current,
                                                          const platform::FormatOptions& options);

private:
    std::uint32_t FormatPartition(PartitionState& partition, const platform::DiskInfo& disk,
                                  const platform::FormatOptions& options);

    StorageContext& context_;
};

}  // namespace velkor::sim
