#pragma once

#include "backend/shared/storage/ControlCall.h"
#include "platform/StorageManager.h"
#include "backend/board/TargetConfig.h"
#include "backend/board/flash/BlockDevice.h"
#include "backend/board/storage/TargetStorageContext.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velkor::board {

// An open partition of a store: its disk driver answers DISK_IOCTL_GETINFO from its block device,
// and the target file's commands dismount and mount its volume. Each request and each dismount or
// mount is one events.log line. Dismounting a partition that is not mounted on its mount point, and
// mounting one that is, run no command and succeed. A command gets the device's path only while it
// still names the device that was checked (5 when not).
class TargetPartition : public platform::Partition {
public:
    TargetPartition(const StoreTarget& store, const PartitionTarget& partition, const TargetStorageContext& context);

    int Control(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output, std::uint32_t outputSize,
                std::uint32_t* bytesReturned) override;
    // Runs the unmount command and waits for the device to be let go of; a device still in use
    // then fails with kSharingViolation. The volume's folder is hidden from the file system after.
    bool Dismount() override;
    // Runs the mount command, refused with kSharingViolation while the device or an alias of it
    // is in use (UseOf), and confirms from mountinfo that the device is then mounted on the mount
    // point: kNotReady, and the volume's folder stays hidden, when it is not. The folder shows
    // again after.
    bool Mount() override;

    const PartitionTarget& Target() const { return partition_; }
    // "DSK2: Part00", as events.log names the partition.
    std::string Label() const;

private:
    // Nothing, with the last error set, when the request is refused.
    std::optional<std::vector<std::uint8_t>> Reply(const shared::ControlCall& call);
    // Changes the mount and writes its events.log line.
    bool ChangeMount(bool mount);
    bool SetMounted(bool mount);
    bool MountVolume(const BlockDeviceInfo& device);
    bool RunMount(const BlockDeviceInfo& device);
    bool DismountVolume(const BlockDeviceInfo& device);
    bool Unmount(const BlockDeviceInfo& device);
    bool RunCommand(const CommandLine& command, const BlockDeviceInfo& device);
    bool AwaitRelease(const BlockDeviceInfo& device);
    // The storage manager keeps its own folder on every volume it mounts; a fresh format has none.
    // A folder that cannot be made is left to whoever needs it to fail.
    void KeepStoreFolder() const;

    const StoreTarget& store_;
    const PartitionTarget& partition_;
    const TargetStorageContext& context_;
};

}  // namespace velkor::board
