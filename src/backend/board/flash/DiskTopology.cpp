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

std::optional<std::string> FirstLine(const fs::path& path) {
    std::ifstream file(path);
    std::string line;
    return std::getline(file, line) ? std::optional(line) : std::nullopt;
}

bool IsPartition(const fs::path& folder) {
    std::error_code error;
    return fs::exists(folder / "partition", error);
}

// The "major:minor" line of a device folder's "dev" file.
std::optional<DeviceNumber> ReadDeviceNumber(const fs::path& folder) {
    const std::optional<std::string> line = FirstLine(folder / "dev");
    return line ? ParseDeviceNumber(*line) : std::nullopt;
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

std::vector<DeviceNumber> BlockDevices(const fs::path& sysfs) {
    std::vector<DeviceNumber> devices;
    for (const std::string& name : FolderNames(sysfs / "dev/block")) {
        if (const std::optional<DeviceNumber> device = ParseDeviceNumber(name)) {
            devices.push_back(*device);
        }
    }
    return devices;
}

std::optional<std::string> KernelName(DeviceNumber device, const fs::path& sysfs) {
    std::error_code error;
    const fs::path folder = fs::read_symlink(DeviceFolder(device, sysfs), error);
    return error ? std::nullopt : std::optional(folder.filename().string());
}

std::optional<fs::path> LoopBackingFile(DeviceNumber device, const fs::path& sysfs) {
    const std::optional<std::string> line = FirstLine(DeviceFolder(device, sysfs) / "loop/backing_file");
    return line && !line->empty() ? std::optional<fs::path>(*line) : std::nullopt;
}

std::vector<std::string> Holders(DeviceNumber device, const fs::path& sysfs) {
    return FolderNames(DeviceFolder(device, sysfs) / "holders");
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
