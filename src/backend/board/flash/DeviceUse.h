#pragma once

#include "backend/board/flash/BlockDevice.h"
#include "backend/board/flash/DiskTopology.h"

#include <filesystem>
#include <optional>
#include <string>

namespace velkor::board {

// What the checks below read of the host: its mount table, and where sysfs and procfs are.
// Tests give their own text and folders.
struct HostView {
    // /proc/self/mountinfo's text.
    std::string mountInfo;
    std::filesystem::path sysfs = kSysfsRoot;
    std::filesystem::path proc = "/proc";

    // The running system's view; nothing, with errno set, when its mount table cannot be read.
    static std::optional<HostView> Current();
};

// True when a file system is mounted from the block device or, for a whole disk, from one of its
// partitions. A mount counts when its device number is one of theirs (a kernel file system), when
// its source is a path to one of them (a mount whose own number is anonymous, such as btrfs or a
// FUSE file system that names its device), or when it is a FUSE file system whose daemon has one of
// them open (its mount line need not name the device at all: fusefat's says "fusefat").
bool IsMounted(DeviceNumber device, const HostView& host);

// True when the block device holds the running system's root file system: it is a device "/" is
// mounted from, or the whole disk of one.
bool HoldsRootFileSystem(DeviceNumber device, const HostView& host);

}  // namespace velkor::board
