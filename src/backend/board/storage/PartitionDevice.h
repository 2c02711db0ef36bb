#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/storage/BootSector.h"
#include "backend/shared/storage/FatRecords.h"
#include "backend/board/flash/BlockDevice.h"
#include "backend/board/flash/DeviceUse.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace velkor::board {

// A partition's block device, as the storage manager, its volumes and the formatter ask the kernel
// about it. Each answer is read at the moment it is asked for.

// What the kernel says of the device. Nothing, with the last error set, when it is missing
// (kFileNotFound), cannot be examined (the code of its errno) or is no block device (kNotSupported):
// only a block device's mounts can be told.
std::optional<BlockDeviceInfo> ExaminePartitionDevice(const std::filesystem::path& device, shared::ErrorState& errors);

// The disk information of the device: the logical sectors of its size, and no heads or tracks, which
// flash does not have. Nothing, with kNotSupported, for more sectors than 32 bits count.
std::optional<shared::DiskGeometry> PartitionGeometry(const BlockDeviceInfo& device, shared::ErrorState& errors);

// Whether a file system is mounted from the device, by the kernel or by a FUSE daemon (IsMounted);
// nothing, with the last error set, when the mount table cannot be read.
std::optional<bool> IsPartitionMounted(const BlockDeviceInfo& device, shared::ErrorState& errors);

// Whether the file system visible at `mountPoint` is mounted from the device (IsMountedAt), the
// mount point's links resolved as mountinfo has them; nothing, with the last error set, when the
// mount table cannot be read.
std::optional<bool> IsPartitionMountedAt(const BlockDeviceInfo& device, const std::filesystem::path& mountPoint,
                                         shared::ErrorState& errors);

// Another user of the device's bytes, through the device itself or an alias (UseOf), its own
// mounts counted or not as `own` says; nothing, with the last error set, when the mount table
// cannot be read. `device` names it in the answer's detail.
std::optional<StorageUse> PartitionUse(const BlockDeviceInfo& info, const std::filesystem::path& device, OwnMounts own,
                                       shared::ErrorState& errors);

// Whether `device` still names the block device examined as `checked`: what a command is given is
// the path, which may have been pointed elsewhere since. False, with kAccessDenied, when it has.
bool IsStillTheDevice(const std::filesystem::path& device, const BlockDeviceInfo& checked, shared::ErrorState& errors);

// The device's first sector, read through the kernel's cache of the device as every other user of it
// reads and writes. Nothing, with the last error set, when it cannot be read (the code of its
// errno), kNotSupported when it is no block device (it is opened without waiting, so a FIFO in its
// place is refused rather than waited on), or kInvalidData when the device is shorter.
using FirstSector = std::array<std::uint8_t, shared::kBootSectorBytes>;
std::optional<FirstSector> ReadFirstSector(const std::filesystem::path& device, shared::ErrorState& errors);

}  // namespace velkor::board
