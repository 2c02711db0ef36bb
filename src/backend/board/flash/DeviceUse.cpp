#include "backend/board/flash/DeviceUse.h"

#include "backend/board/flash/FolderNames.h"
#include "backend/board/flash/MountTable.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <vector>

namespace velkor::board {
namespace {

namespace fs = std::filesystem;

// /dev/fuse, through which every FUSE daemon serves its mount.
constexpr DeviceNumber kFuseDevice{10, 229};

bool Contains(const std::vector<DeviceNumber>& devices, DeviceNumber device) {
    return std::find(devices.begin(), devices.end(), device) != devices.end();
}

DeviceNumber NumberOf(const struct stat& status) { return {::major(status.st_rdev), ::minor(status.st_rdev)}; }

// The devices a mount is from: its own number and, when its source is a path to a block device, that one's.
std::vector<DeviceNumber> MountDevices(const MountEntry& mount) {
    std::vector<DeviceNumber> devices{mount.device};
    struct stat status {};
    if (mount.source.starts_with('/') && ::stat(mount.source.c_str(), &status) == 0 && S_ISBLK(status.st_mode)) {
        devices.push_back(NumberOf(status));
    }
    return devices;
}

// Whether the process whose descriptors are listed in `fdFolder` has /dev/fuse and one of `devices` open.
bool ServesFuseFrom(const fs::path& fdFolder, const std::vector<DeviceNumber>& devices) {
    bool fuse = false;
    bool device = false;
    for (const std::string& name : FolderNames(fdFolder)) {
        struct stat status {};
        if (::stat((fdFolder / name).c_str(), &status) != 0) {
            continue;  // closed meanwhile
        }
        fuse = fuse || (S_ISCHR(status.st_mode) && NumberOf(status) == kFuseDevice);
        device = device || (S_ISBLK(status.st_mode) && Contains(devices, NumberOf(status)));
    }
    return fuse && device;
}

bool IsProcessId(const std::string& name) {
    return std::all_of(name.begin(), name.end(), [](char character) { return character >= '0' && character <= '9'; });
}

bool ServedByFuse(const std::vector<DeviceNumber>& devices, const fs::path& proc) {
    const std::vector<std::string> entries = FolderNames(proc);
    return std::any_of(entries.begin(), entries.end(), [&](const std::string& entry) {
        return IsProcessId(entry) && ServesFuseFrom(proc / entry / "fd", devices);
    });
}

}  // namespace

std::optional<HostView> HostView::Current() {
    std::optional<std::string> mountInfo = ReadMountInfo();
    return mountInfo ? std::optional(HostView{std::move(*mountInfo)}) : std::nullopt;
}

bool IsMounted(DeviceNumber device, const HostView& host) {
    const std::vector<DeviceNumber> devices = DeviceAndPartitions(device, host.sysfs);
    const std::vector<MountEntry> mounts = ParseMountInfo(host.mountInfo);
    const bool mounted = std::any_of(mounts.begin(), mounts.end(), [&](const MountEntry& mount) {
        const std::vector<DeviceNumber> from = MountDevices(mount);
        return std::any_of(from.begin(), from.end(), [&](DeviceNumber number) { return Contains(devices, number); });
    });
    return mounted || ServedByFuse(devices, host.proc);
}

bool HoldsRootFileSystem(DeviceNumber device, const HostView& host) {
    for (const MountEntry& mount : ParseMountInfo(host.mountInfo)) {
        if (mount.mountPoint != "/") {
            continue;
        }
        for (const DeviceNumber root : MountDevices(mount)) {
            if (root == device || ParentDisk(root, host.sysfs) == device) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace velkor::board
