#pragma once

#include "backend/board/flash/BlockDevice.h"
#include "backend/board/flash/DiskTopology.h"

#include <cstdint>
#include <filesystem>
#include <optional>

namespace velkor::board {

// Where a host path's bytes lie: on which whole disk (a partition counts as its disk's) or which
// file, and from where to where. Two paths that reach the same bytes overlap, however they are named.
class DeviceSpan {
public:
    // Nothing, with errno set, when the path cannot be examined; a path that is neither a block
    // device nor a regular file has no span either (errno EINVAL).
    static std::optional<DeviceSpan> Of(const std::filesystem::path& path,
                                        const std::filesystem::path& sysfs = kSysfsRoot);

    // The `length` bytes at `offset` of this span.
    DeviceSpan Part(std::uint64_t offset, std::uint64_t length) const;

    bool Overlaps(const DeviceSpan& other) const;
    std::uint64_t Length() const { return length_; }

private:
    DeviceSpan(bool isFile, std::uint64_t device, std::uint64_t inode, std::uint64_t start, std::uint64_t length)
        : isFile_(isFile), device_(device), inode_(inode), start_(start), length_(length) {}

    bool isFile_;
    // A disk's device number, or a file's file system and inode.
    std::uint64_t device_;
    std::uint64_t inode_;
    std::uint64_t start_;
    std::uint64_t length_;
};

}  // namespace velkor::board
