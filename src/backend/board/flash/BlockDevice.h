#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

namespace velkor::board {

// What a host path that should name a flash region or a partition turns out to be.
enum class PathKind { Missing, BlockDevice, RegularFile, Other };

// A device's major and minor number, as st_rdev and the "major:minor" fields of sysfs and
// /proc/self/mountinfo give them.
struct DeviceNumber {
    unsigned major = 0;
    unsigned minor = 0;

    bool operator==(const DeviceNumber&) const = default;
};

// "8:1"; nothing when the text is not of that form.
std::optional<DeviceNumber> ParseDeviceNumber(std::string_view text);

// The sector size a regular file stands in with.
inline constexpr std::uint32_t kFileSectorBytes = 512;

struct BlockDeviceInfo {
    PathKind kind = PathKind::Missing;
    // BLKGETSIZE64 for a block device, st_size for a regular file, 0 otherwise.
    std::uint64_t sizeBytes = 0;
    // BLKSSZGET for a block device, kFileSectorBytes for a regular file, 0 otherwise.
    std::uint32_t sectorBytes = 0;
    // The block device's own number; only set for a block device.
    DeviceNumber number;
};

// What `path` is, following links as opening it would. A block device is opened read-only, and
// without claiming it, to ask for its size. Kind Missing when nothing is there; nothing, with
// errno set, when what is there cannot be examined.
std::optional<BlockDeviceInfo> ExaminePath(const std::filesystem::path& path);

// The same for what `fd` is open on.
std::optional<BlockDeviceInfo> ExamineDescriptor(int fd);

}  // namespace velkor::board
