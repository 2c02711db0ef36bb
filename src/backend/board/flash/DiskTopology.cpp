#include "backend/board/flash/DiskTopology.h"

#include "backend/board/flash/FolderNames.h"

#include <fmt/format.h>

#include <fstream>
#include <string>

namespace velkor::board {
namespace {

namespace fs = std::filesystem;

// sysfs names each block device by number with a link to its folder in the device tree.
fs::path DeviceFolder(DeviceNumber device, const fs::path& sysfs) {
    return sysfs / "dev/block" / fmt::format("{}:{}", device.major, device.minor);
}

bool IsPartition(const fs::path& folder) {
    std::error_code error;
    return fs::exists(folder / "partition", error);
}

// The "major:minor" line of a device folder's "dev" file.
std::optional<DeviceNumber> ReadDeviceNumber(const fs::path& folder) {
    std::ifstream file(folder / "dev");
    std::string line;
    return std::getline(file, line) ? ParseDeviceNumber(line) : std::nullopt;
}

}  // namespace

std::vector<DeviceNumber> DeviceAndPartitions(DeviceNumber device, const fs::path& sysfs) {
    std::vector<DeviceNumber> devices{device};
    const fs::path folder = DeviceFolder(device, sysfs);
    for (const std::string& name : FolderNames(folder)) {
        const std::optional<DeviceNumber> partition = IsPartition(folder / name) ? ReadDeviceNumber(folder / name)
                                                                                  : std::nullopt;
        if (partition) {
            devices.push_back(*partition);
        }
    }
    return devices;
}

std::optional<DeviceNumber> ParentDisk(DeviceNumber partition, const fs::path& sysfs) {
    // ".." after the link is resolved by the kernel, so it leads to the disk's folder.
    const fs::path folder = DeviceFolder(partition, sysfs);
    return IsPartition(folder) ? ReadDeviceNumber(folder / "..") : std::nullopt;
}

std::optional<std::uint64_t> PartitionStart(DeviceNumber partition, const fs::path& sysfs) {
    constexpr std::uint64_t kSysfsSectorBytes = 512;
    const fs::path folder = DeviceFolder(partition, sysfs);
    std::ifstream file(folder / "start");
    std::uint64_t sectors = 0;
    if (!IsPartition(folder) || !(file >> sectors)) {
        return std::nullopt;
    }
    return sectors * kSysfsSectorBytes;
}

}  // namespace velkor::board
