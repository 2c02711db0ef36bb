#pragma once

#include "backend/board/flash/BlockDevice.h"
#include "backend/board/flash/DiskTopology.h"
#include "backend/board/flash/StorageAliases.h"

#include <filesystem>
#include <optional>
#include <string>

namespace velkor::board {

// What the checks below read of the host: its mount table, and where sysfs and procfs are (procfs
// also gives the active swap areas). Tests give their own text and folders.
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

// True when the file system visible at `mountPoint` (the last one mounted there) is mounted from
// the block device, as IsMounted counts it. `mountPoint` is compared as given: a path with no links
// and no "." or "..", as mountinfo writes it.
bool IsMountedAt(DeviceNumber device, const std::filesystem::path& mountPoint, const HostView& host);

// Why writing a block device or file would meet another user of its bytes.
enum class UseKind {
    Free,
    // It, or an alias, holds the running system's root file system: it is a device "/" is mounted
    // from, the whole disk of one, or what one is a loop device over.
    RootFileSystem,
    // A file system is mounted from it or from an alias, by the kernel or a FUSE daemon.
    Mounted,
    // Device-mapper, md or the like is built on it or on an alias.
    Held,
    // It, or an alias, is an active swap area.
    Swap,
    // A file that a loop device reads and writes.
    BacksLoop,
};

struct StorageUse {
    UseKind kind = UseKind::Free;
    // What is in use and how, for a person to read: "/dev/loop4 is mounted on /mnt/card".
    std::string detail;
};

// Whether the own mounts of the start count: a partition's mount on its own mount point does not
// make it unfit to mount or to have its folder shown.
enum class OwnMounts { Count, Ignore };

// The first use found of `start` or of its aliases (StorageAliases), in the order of UseKind.
StorageUse UseOf(const StorageAlias& start, const HostView& host, OwnMounts own = OwnMounts::Count);

}  // namespace velkor::board
