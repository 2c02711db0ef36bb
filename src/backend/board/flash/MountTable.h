#pragma once

#include "backend/board/flash/BlockDevice.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::board {

// One line of /proc/self/mountinfo, as far as the device checks need it.
struct MountEntry {
    // The mounted file system's device: the block device for a kernel file system on one, an
    // anonymous number (major 0) for FUSE, btrfs and the file systems without a device.
    DeviceNumber device;
    std::string mountPoint;
    // The file system type: "ext4", "fuse.fusefat", ...
    std::string type;
    // What was mounted as the mounter named it: a device path, or any text ("fusefat", "tmpfs").
    std::string source;
    // "ro" in the mount's own options or in its file system's: nothing written through it.
    bool readOnly = false;
};

// The entries of mountinfo text, in its order, with the kernel's octal escapes ("\040") undone.
// Lines not of the kernel's form are left out.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// The mount point of the first entry that mounts the block device `device` read-write; nothing when
// none does.
std::optional<std::string> WritableMountPoint(DeviceNumber device, const std::vector<MountEntry>& entries);

// The running system's /proc/self/mountinfo; nothing, with errno set, when it cannot be read.
std::optional<std::string> ReadMountInfo();

}  // namespace velkor::board
