#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "platform/FormatLibrary.h"
#include "backend/board/TargetConfig.h"
#include "backend/board/storage/CommandRunner.h"

#include <cstdint>
#include <filesystem>

namespace velkor::board {

// The format library's FormatVolume on a real device: dosfstools' mkfs.fat, found on PATH, lays a
// new FAT file system over a dismounted partition's block device, with the cluster size, root
// entries, FAT version and FAT count asked for and the device's logical sector size. mkfs.fat's
// own safety checks stay on. The flags have no mkfs.fat counterpart: it always writes whole empty
// FATs, and the transaction-safe FAT is the device's own. Each call is one events.log line.
class MkfsFatFormatter {
public:
    MkfsFatFormatter(const CommandRunner& runner, shared::ErrorState& errors, shared::EventLog& events);

    // 0 on success. kInvalidHandle for a partition the real device's storage manager did not open,
    // kSharingViolation for one whose device is in use, itself or through an alias (UseOf), or
    // that another holds exclusively; kInvalidParameter for disk information other than the
    // partition's, options the simulator refuses too (AreFormatOptions), or options mkfs.fat
    // refuses (it then writes nothing); kAccessDenied when the path no longer names the device
    // that was checked; kFileNotFound when mkfs.fat cannot be started, kTimeout when it runs past
    // the command time limit; or why the device cannot be examined or opened for writing.
    std::uint32_t Format(platform::Partition& partition, const platform::DiskInfo& disk,
                         const platform::FormatOptions& options);

private:
    std::uint32_t FormatPartition(const PartitionTarget& partition, const platform::DiskInfo& disk,
                                  const platform::FormatOptions& options);

    // The format's answer for how mkfs.fat ended on `device`.
    static std::uint32_t MkfsError(const CommandEnd& end, const std::filesystem::path& device);

    const CommandRunner& runner_;
    shared::ErrorState& errors_;
    shared::EventLog& events_;
};

}  // namespace velkor::board
