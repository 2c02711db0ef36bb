#pragma once

#include "host/ErrorState.h"
#include "host/storage/BootSector.h"
#include "host/storage/FatRecords.h"
#include "target/flash/BlockDevice.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace velkor::target {

// A partition's block device, as the storage manager, its volumes and the formatter ask the kernel
// about it. Each answer is read at the moment it is asked for.

// What the kernel says of the device. Nothing, with the last error set, when it is missing
// (kFileNotFound), cannot be examined (the code of its errno) or is no block device (kNotSupported):
// only a block device's mounts can be told.
std::optional<BlockDeviceInfo> ExaminePartitionDevice(const std::filesystem::path& device, host::ErrorState& errors);

// The disk information of the device: the logical sectors of its size, and no heads or tracks, which
// flash does not have. Nothing, with kNotSupported, for more sectors than 32 bits count.
std::optional<host::DiskGeometry> PartitionGeometry(const BlockDeviceInfo& device, host::ErrorState& errors);

// Whether a file system is mounted from the device, by the kernel or by a FUSE daemon (IsMounted);
// nothing, with the last error set, when the mount table cannot be read.
std::optional<bool> IsPartitionMounted(const BlockDeviceInfo& device, host::ErrorState& errors);

// The device's first sector, read through the kernel's cache of the device as every other user of it
// reads and writes. Nothing, with the last error set, when it cannot be read (the code of its
// errno), or kInvalidData when the device is shorter.
using FirstSector = std::array<std::uint8_t, host::kBootSectorBytes>;
std::optional<FirstSector> ReadFirstSector(const std::filesystem::path& device, host::ErrorState& errors);

}  // namespace velkor::target
