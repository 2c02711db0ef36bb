#pragma once

#include "backend/board/flash/BlockDevice.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <filesystem>
#include <optional>

namespace velkor::board {

// What holds a region's or partition's bytes, whatever path reaches it: a block device by its
// number, or a regular file by its file system and inode. Two paths with equal ids write the same
// bytes.
struct StorageId {
    enum class Kind { BlockDevice, File };

    Kind kind = Kind::BlockDevice;
    // A block device's number.
    DeviceNumber number;
    // A file's file system and inode.
    dev_t fileSystem = 0;
    ino_t inode = 0;

    static StorageId Block(DeviceNumber device) { return {Kind::BlockDevice, device, 0, 0}; }
    // What a stat result is; nothing for anything but a block device or a regular file.
    static std::optional<StorageId> Of(const struct stat& status);
    // What `path` leads to, following links; nothing when it is neither or cannot be examined.
    static std::optional<StorageId> OfPath(const std::filesystem::path& path);

    bool IsBlockDevice() const { return kind == Kind::BlockDevice; }
    bool operator==(const StorageId&) const = default;
};

}  // namespace velkor::board
