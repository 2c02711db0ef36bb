#include "backend/board/flash/StorageAliases.h"

#include <fmt/format.h>

#include <algorithm>

namespace velkor::board {

StorageAliases::StorageAliases(std::filesystem::path sysfs) : sysfs_(std::move(sysfs)) {
    for (const DeviceNumber device : BlockDevices(sysfs_)) {
        const std::optional<std::filesystem::path> backing = LoopBackingFile(device, sysfs_);
        // A backing file deleted since (" (deleted)") or out of reach is nobody's alias here.
        const std::optional<StorageId> id = backing ? StorageId::OfPath(*backing) : std::nullopt;
        if (id) {
            loops_.push_back({device, *id, backing->string()});
        }
    }
}

std::vector<StorageAlias> StorageAliases::Of(const StorageAlias& start) {
    found_.clear();
    AddWithContents(start);
    for (std::optional<StorageAlias> up = Container(start.id); up && !Holds(up->id); up = Container(up->id)) {
        found_.push_back(*up);
        AddLoopsOver(up->id);
    }
    return found_;
}

void StorageAliases::AddWithContents(const StorageAlias& alias) {
    if (Holds(alias.id)) {
        return;
    }
    found_.push_back(alias);
    if (alias.id.IsBlockDevice()) {
        for (const DeviceNumber partition : DeviceAndPartitions(alias.id.number, sysfs_)) {
            AddWithContents(BlockAlias(partition));
        }
    }
    AddLoopsOver(alias.id);
}

void StorageAliases::AddLoopsOver(const StorageId& id) {
    for (const Loop& loop : loops_) {
        if (loop.backing == id) {
            AddWithContents(BlockAlias(loop.device));
        }
    }
}

std::optional<StorageAlias> StorageAliases::Container(const StorageId& id) const {
    if (!id.IsBlockDevice()) {
        return std::nullopt;
    }
    if (const std::optional<DeviceNumber> disk = ParentDisk(id.number, sysfs_)) {
        return BlockAlias(*disk);
    }
    const auto loop = std::find_if(loops_.begin(), loops_.end(), [&](const Loop& l) { return l.device == id.number; });
    return loop != loops_.end() ? std::optional(StorageAlias{loop->backing, loop->backingName}) : std::nullopt;
}

StorageAlias StorageAliases::BlockAlias(DeviceNumber device) const {
    const std::optional<std::string> name = KernelName(device, sysfs_);
    return {StorageId::Block(device),
            name ? fmt::format("/dev/{}", *name) : fmt::format("block device {}:{}", device.major, device.minor)};
}

bool StorageAliases::Holds(const StorageId& id) const {
    return std::any_of(found_.begin(), found_.end(), [&](const StorageAlias& alias) { return alias.id == id; });
}

}  // namespace velkor::board
