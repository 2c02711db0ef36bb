#pragma once

#include "backend/shared/DismountedFolders.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "backend/shared/storage/BootSector.h"
#include "backend/board/TargetConfig.h"
#include "backend/board/storage/CommandRunner.h"
#include "backend/board/storage/TargetFormatLibrary.h"
#include "backend/board/storage/TargetStorageManager.h"
#include "backend/board/support/LoopDevice.h"
#include "backend/board/support/TempFolder.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velkor::test {

// What a test lays on its loop device: a sparse file of `bytes`, formatted by mkfs.fat with
// `mkfs` (zeros when null), and mounted through fusefat or not; or its file mounted through a
// second loop device of its own, elsewhere, as an alias of the partition.
struct Volume {
    std::uintmax_t bytes;
    const char* mkfs;
    bool mounted;
    bool aliasMounted = false;
};

// Target commands with these mount and unmount commands.
board::TargetCommands MountCommands(board::CommandLine mount, board::CommandLine unmount);
// The mount and unmount commands of a device whose kernel has no vfat.
board::TargetCommands FuseCommands();

// The real device's storage manager and format library over one store, DSK2: (BinFLASH), whose
// partition Part00 at \VKRFlash is a loop device over a file the rig made. Whatever is mounted on
// the mount point is unmounted, and the loop device detached, when the rig goes, whatever the test did.
class StorageRig {
public:
    // Commands run past `commandLimit` are killed.
    StorageRig(const Volume& volume, const board::TargetCommands& commands,
               std::chrono::milliseconds commandLimit = board::CommandRunner::kTimeLimit);
    ~StorageRig();
    StorageRig(const StorageRig&) = delete;
    StorageRig& operator=(const StorageRig&) = delete;

    // Why the rig could not be made; empty when it stands.
    const std::string& Unavailable() const { return unavailable_; }

    board::TargetStorageManager& Storage() { return storage_; }
    board::TargetFormatLibrary& Formats() { return formats_; }
    std::uint32_t LastError() const { return errors_.Last(); }
    bool VolumeHidden() const { return dismounted_.Contains(u"VKRFlash"); }
    const std::filesystem::path& MountPoint() const { return partition().mountPoint; }
    const std::filesystem::path& Device() const { return partition().device; }

    // DSK2: Part00, opened through the rig's store, which stays open.
    std::unique_ptr<platform::Partition> OpenPartition();
    std::array<std::uint8_t, shared::kBootSectorBytes> FirstSector() const;
    // events.log's lines without their time stamps.
    std::vector<std::string> Events() const;
    // The used and total clusters `fsck.fat -n` counts, with the volume dismounted first; nothing
    // when it finds the volume damaged.
    std::optional<std::pair<std::uint32_t, std::uint32_t>> CheckedClusters();

private:
    const board::PartitionTarget& partition() const { return stores_.front().partitions.front(); }
    std::string Make(const Volume& volume);
    std::string MountAlias(const std::filesystem::path& file);
    std::filesystem::path AliasMountPoint() const { return temp_.Path() / "alias"; }

    TempFolder temp_;
    std::unique_ptr<LoopDevice> loop_;
    std::unique_ptr<LoopDevice> aliasLoop_;
    std::vector<board::StoreTarget> stores_;
    board::TargetCommands commands_;
    board::CommandRunner runner_;
    shared::DismountedFolders dismounted_;
    shared::ErrorState errors_;
    shared::EventLog events_;
    board::TargetStorageManager storage_;
    board::TargetFormatLibrary formats_;
    std::unique_ptr<platform::Store> store_;
    std::string unavailable_;
};

}  // namespace velkor::test
