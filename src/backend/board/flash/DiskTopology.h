#pragma once

#include "backend/board/flash/BlockDevice.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velkor::board {

// Where the kernel's sysfs is mounted.
inline constexpr const char* kSysfsRoot = "/sys";

// The device and, when it is a whole disk, its partitions: the folders of
// `sysfs`/dev/block/M:m/ that hold a "partition" file, by the number in their "dev" file.
std::vector<DeviceNumber> DeviceAndPartitions(DeviceNumber device, const std::filesystem::path& sysfs = kSysfsRoot);

// The whole disk of a partition, by `sysfs`/dev/block/M:m/../dev; nothing for a whole disk and
// for a device sysfs does not know.
std::optional<DeviceNumber> ParentDisk(DeviceNumber partition, const std::filesystem::path& sysfs = kSysfsRoot);

// Every block device sysfs knows, by the "M:m" names of `sysfs`/dev/block.
std::vector<DeviceNumber> BlockDevices(const std::filesystem::path& sysfs = kSysfsRoot);

// The kernel's name of a block device ("loop3", "sda1"); nothing for a device sysfs does not know.
std::optional<std::string> KernelName(DeviceNumber device, const std::filesystem::path& sysfs = kSysfsRoot);

// The file (or block device) a loop device reads and writes, as its loop/backing_file names it;
// nothing for a device that is no loop device or has nothing attached.
std::optional<std::filesystem::path> LoopBackingFile(DeviceNumber device,
                                                     const std::filesystem::path& sysfs = kSysfsRoot);

// The kernel's names of the devices built on this one (device-mapper, md, bcache): its holders/.
std::vector<std::string> Holders(DeviceNumber device, const std::filesystem::path& sysfs = kSysfsRoot);
// Where a partition starts on its disk, in bytes (sysfs counts 512-byte sectors whatever the disk's
// sector size); nothing for a whole disk and for a device sysfs does not know.
std::optional<std::uint64_t> PartitionStart(DeviceNumber partition, const std::filesystem::path& sysfs = kSysfsRoot);

}  // namespace velkor::board
