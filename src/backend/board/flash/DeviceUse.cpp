#include "backend/board/flash/DeviceUse.h"

#include "backend/board/flash/FolderNames.h"
#include "backend/board/flash/MountTable.h"
#include "backend/board/flash/SwapTable.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

namespace velkor::board {
namespace {

namespace fs = std::filesystem;

// /dev/fuse, through which every FUSE daemon serves its mount.
constexpr DeviceNumber kFuseDevice{10, 229};
constexpr std::string_view kFuseTypePrefix = "fuse";

bool Contains(const std::vector<DeviceNumber>& devices, DeviceNumber device) {
    return std::find(devices.begin(), devices.end(), device) != devices.end();
}

DeviceNumber NumberOf(const struct stat& status) { return {::major(status.st_rdev), ::minor(status.st_rdev)}; }

std::vector<StorageId> BlockIds(const std::vector<DeviceNumber>& devices) {
    std::vector<StorageId> ids;
    std::transform(devices.begin(), devices.end(), std::back_inserter(ids), StorageId::Block);
    return ids;
}

// The devices a mount is from: its own number and, when its source is a path to a block device, that one's.
std::vector<DeviceNumber> MountDevices(const MountEntry& mount) {
    std::vector<DeviceNumber> devices{mount.device};
    struct stat status {};
    if (mount.source.starts_with('/') && ::stat(mount.source.c_str(), &status) == 0 && S_ISBLK(status.st_mode)) {
        devices.push_back(NumberOf(status));
    }
    return devices;
}

bool IsMountFrom(const MountEntry& mount, const std::vector<DeviceNumber>& devices) {
    const std::vector<DeviceNumber> from = MountDevices(mount);
    return std::any_of(from.begin(), from.end(), [&](DeviceNumber number) { return Contains(devices, number); });
}

// Which of `ids` the process whose descriptors are listed in `fdFolder` has open beside /dev/fuse.
std::optional<std::size_t> ServedFrom(const fs::path& fdFolder, const std::vector<StorageId>& ids) {
    bool fuse = false;
    std::optional<std::size_t> served;
    for (const std::string& name : FolderNames(fdFolder)) {
        struct stat status {};
        if (::stat((fdFolder / name).c_str(), &status) != 0) {
            continue;  // closed meanwhile
        }
        fuse = fuse || (S_ISCHR(status.st_mode) && NumberOf(status) == kFuseDevice);
        const std::optional<StorageId> id = StorageId::Of(status);
        const auto found = id ? std::find(ids.begin(), ids.end(), *id) : ids.end();
        if (found != ids.end()) {
            served = static_cast<std::size_t>(found - ids.begin());
        }
    }
    return fuse ? served : std::nullopt;
}

bool IsProcessId(const std::string& name) {
    return std::all_of(name.begin(), name.end(), [](char character) { return character >= '0' && character <= '9'; });
}

struct FuseService {
    std::size_t served;  // an index into the ids looked for
    std::string processId;
};

// A FUSE daemon that has one of `ids` open, found through each process's descriptors.
std::optional<FuseService> FindFuseDaemon(const std::vector<StorageId>& ids, const fs::path& proc) {
    if (ids.empty()) {
        return std::nullopt;
    }
    for (const std::string& entry : FolderNames(proc)) {
        const std::optional<std::size_t> served = IsProcessId(entry) ? ServedFrom(proc / entry / "fd", ids) : std::nullopt;
        if (served) {
            return FuseService{*served, entry};
        }
    }
    return std::nullopt;
}

std::string ReadText(const fs::path& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Looks for each kind of use among a start's aliases, in the order UseKind gives.
class UseSearch {
public:
    UseSearch(const StorageAlias& start, const HostView& host, OwnMounts own)
        : host_(host),
          aliases_(StorageAliases(host.sysfs).Of(start)),
          mounts_(ParseMountInfo(host.mountInfo)),
          // The start comes first: leaving it out of the mounts leaves its own mounts uncounted.
          firstMounted_(own == OwnMounts::Ignore ? 1 : 0) {}

    StorageUse Find() const {
        for (const auto check : {&UseSearch::Root, &UseSearch::Mount, &UseSearch::FuseMount, &UseSearch::Holder,
                                 &UseSearch::Swap, &UseSearch::LoopOver}) {
            if (std::optional<StorageUse> use = (this->*check)()) {
                return *use;
            }
        }
        return {};
    }

private:
    std::optional<StorageUse> Root() const {
        for (const MountEntry& mount : mounts_) {
            const StorageAlias* alias = mount.mountPoint == "/" ? FirstBlockAlias(0, MountDevices(mount)) : nullptr;
            if (alias) {
                return StorageUse{UseKind::RootFileSystem,
                                  fmt::format("{} holds the running system's root file system", alias->name)};
            }
        }
        return std::nullopt;
    }

    std::optional<StorageUse> Mount() const {
        for (const MountEntry& mount : mounts_) {
            if (const StorageAlias* alias = FirstBlockAlias(firstMounted_, MountDevices(mount))) {
                return StorageUse{UseKind::Mounted, fmt::format("{} is mounted on {}", alias->name, mount.mountPoint)};
            }
        }
        return std::nullopt;
    }

    std::optional<StorageUse> FuseMount() const {
        std::vector<StorageId> ids;
        std::transform(aliases_.begin() + static_cast<std::ptrdiff_t>(firstMounted_), aliases_.end(),
                       std::back_inserter(ids), [](const StorageAlias& alias) { return alias.id; });
        const std::optional<FuseService> daemon = FindFuseDaemon(ids, host_.proc);
        if (!daemon) {
            return std::nullopt;
        }
        return StorageUse{UseKind::Mounted, fmt::format("{} is open in FUSE daemon {}",
                                                        aliases_[firstMounted_ + daemon->served].name,
                                                        daemon->processId)};
    }

    std::optional<StorageUse> Holder() const {
        for (const StorageAlias& alias : aliases_) {
            const std::vector<std::string> holders =
                alias.id.IsBlockDevice() ? Holders(alias.id.number, host_.sysfs) : std::vector<std::string>{};
            if (!holders.empty()) {
                return StorageUse{UseKind::Held, fmt::format("{} is held by {}", alias.name, fmt::join(holders, ", "))};
            }
        }
        return std::nullopt;
    }

    std::optional<StorageUse> Swap() const {
        for (const fs::path& area : ParseSwaps(ReadText(host_.proc / "swaps"))) {
            const std::optional<StorageId> id = StorageId::OfPath(area);
            const auto alias = std::find_if(aliases_.begin(), aliases_.end(),
                                            [&](const StorageAlias& a) { return id && a.id == *id; });
            if (alias != aliases_.end()) {
                return StorageUse{UseKind::Swap, fmt::format("{} is an active swap area", alias->name)};
            }
        }
        return std::nullopt;
    }

    // A file with any alias is a loop device's backing: all else that holds a file's bytes is a loop.
    std::optional<StorageUse> LoopOver() const {
        if (aliases_.front().id.IsBlockDevice() || aliases_.size() < 2) {
            return std::nullopt;
        }
        return StorageUse{UseKind::BacksLoop,
                          fmt::format("{} backs the loop device {}", aliases_.front().name, aliases_[1].name)};
    }

    // The first alias from `first` on that is one of `devices`.
    const StorageAlias* FirstBlockAlias(std::size_t first, const std::vector<DeviceNumber>& devices) const {
        const auto found = std::find_if(aliases_.begin() + static_cast<std::ptrdiff_t>(first), aliases_.end(),
                                        [&](const StorageAlias& alias) {
                                            return alias.id.IsBlockDevice() && Contains(devices, alias.id.number);
                                        });
        return found != aliases_.end() ? &*found : nullptr;
    }

    const HostView& host_;
    const std::vector<StorageAlias> aliases_;
    const std::vector<MountEntry> mounts_;
    const std::size_t firstMounted_;
};

}  // namespace

std::optional<HostView> HostView::Current() {
    std::optional<std::string> mountInfo = ReadMountInfo();
    return mountInfo ? std::optional(HostView{std::move(*mountInfo)}) : std::nullopt;
}

bool IsMounted(DeviceNumber device, const HostView& host) {
    const std::vector<DeviceNumber> devices = DeviceAndPartitions(device, host.sysfs);
    const std::vector<MountEntry> mounts = ParseMountInfo(host.mountInfo);
    const bool mounted =
        std::any_of(mounts.begin(), mounts.end(), [&](const MountEntry& mount) { return IsMountFrom(mount, devices); });
    return mounted || FindFuseDaemon(BlockIds(devices), host.proc).has_value();
}

bool IsMountedAt(DeviceNumber device, const fs::path& mountPoint, const HostView& host) {
    const std::vector<MountEntry> mounts = ParseMountInfo(host.mountInfo);
    const auto visible = std::find_if(mounts.rbegin(), mounts.rend(),
                                      [&](const MountEntry& mount) { return mount.mountPoint == mountPoint.native(); });
    if (visible == mounts.rend()) {
        return false;
    }
    return IsMountFrom(*visible, {device}) ||
           (visible->type.starts_with(kFuseTypePrefix) && FindFuseDaemon({StorageId::Block(device)}, host.proc));
}

StorageUse UseOf(const StorageAlias& start, const HostView& host, OwnMounts own) {
    return UseSearch(start, host, own).Find();
}

}  // namespace velkor::board
