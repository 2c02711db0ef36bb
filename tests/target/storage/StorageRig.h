#pragma once

#include "host/DismountedFolders.h"
#include "host/ErrorState.h"
#include "host/EventLog.h"
#include "host/storage/BootSector.h"
#include "target/TargetConfig.h"
#include "target/storage/CommandRunner.h"
#include "target/storage/TargetFormatLibrary.h"
#include "target/storage/TargetStorageManager.h"
#include "target/support/LoopDevice.h"
#include "target/support/TempFolder.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velkor::test {

// What a test lays on its loop device: a sparse file of `bytes`, formatted by mkfs.fat with
// `mkfs` (zeros when null), and mounted through fusefat or not.
struct Volume {
    std::uintmax_t bytes;
    const char* mkfs;
    bool mounted;
};

// Target commands with these mount and unmount commands.
target::TargetCommands MountCommands(target::CommandLine mount, target::CommandLine unmount);
// The mount and unmount commands of a device whose kernel has no vfat.
target::TargetCommands FuseCommands();

// The real device's storage manager and format library over one store, DSK2: (BinFLASH), whose
// partition Part00 at \VKRFlash is a loop device over a file the rig made. Whatever is mounted on
// the mount point is unmounted, and the loop device detached, when the rig goes, whatever the test did.
class StorageRig {
public:
    StorageRig(const Volume& volume, const target::TargetCommands& commands);
    ~StorageRig();
    StorageRig(const StorageRig&) = delete;
    StorageRig& operator=(const StorageRig&) = delete;

    // Why the rig could not be made; empty when it stands.
    const std::string& Unavailable() const { return unavailable_; }

    target::TargetStorageManager& Storage() { return storage_; }
    target::TargetFormatLibrary& Formats() { return formats_; }
    std::uint32_t LastError() const { return errors_.Last(); }
    bool VolumeHidden() const { return dismounted_.Contains(u"VKRFlash"); }
    const std::filesystem::path& MountPoint() const { return partition().mountPoint; }

    // DSK2: Part00, opened through the rig's store, which stays open.
    std::unique_ptr<platform::Partition> OpenPartition();
    std::array<std::uint8_t, host::kBootSectorBytes> FirstSector() const;
    // events.log's lines without their time stamps.
    std::vector<std::string> Events() const;
    // The used and total clusters `fsck.fat -n` counts, with the volume dismounted first; nothing
    // when it finds the volume damaged.
    std::optional<std::pair<std::uint32_t, std::uint32_t>> CheckedClusters();

private:
    const target::PartitionTarget& partition() const { return stores_.front().partitions.front(); }
    std::string Make(const Volume& volume);

    TempFolder temp_;
    std::unique_ptr<LoopDevice> loop_;
    std::vector<target::StoreTarget> stores_;
    target::TargetCommands commands_;
    target::CommandRunner runner_;
    host::DismountedFolders dismounted_;
    host::ErrorState errors_;
    host::EventLog events_;
    target::TargetStorageManager storage_;
    target::TargetFormatLibrary formats_;
    std::unique_ptr<platform::Store> store_;
    std::string unavailable_;
};

}  // namespace velkor::test
