#pragma once

#include "backend/board/flash/DiskTopology.h"
#include "backend/board/flash/StorageId.h"

#include <filesystem>
#include <string>
#include <vector>

namespace velkor::board {

// A block device or file that shares bytes with a region or partition, and the name an engineer
// knows it by ("/dev/loop3", a loop device's backing file).
struct StorageAlias {
    StorageId id;
    std::string name;
};

// Everything that writes or reads the bytes of one block device or file under another name:
// - what holds it: a partition's whole disk, a loop device's backing file or device, and on up;
// - what it holds: a disk's partitions, the loop devices set up over it, and on down;
// - the loop devices set up over anything that holds it, and all they hold.
// Loop devices are followed by sysfs's loop/backing_file. Partitions of a disk that holds the
// start are not its aliases: they share the disk, not its bytes.
class StorageAliases {
public:
    explicit StorageAliases(std::filesystem::path sysfs = kSysfsRoot);

    // The start first, then its aliases, each once.
    std::vector<StorageAlias> Of(const StorageAlias& start);

private:
    struct Loop {
        DeviceNumber device;
        StorageId backing;
        std::string backingName;
    };

    void AddWithContents(const StorageAlias& alias);
    void AddLoopsOver(const StorageId& id);
    // What holds the bytes of `id`: a partition's disk, a loop device's backing.
    std::optional<StorageAlias> Container(const StorageId& id) const;
    StorageAlias BlockAlias(DeviceNumber device) const;
    bool Holds(const StorageId& id) const;

    std::filesystem::path sysfs_;
    std::vector<Loop> loops_;
    std::vector<StorageAlias> found_;
};

}  // namespace velkor::board
