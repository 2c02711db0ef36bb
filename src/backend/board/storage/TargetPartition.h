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
// mount is one events.log line. Dismounting a partition whose device no file system is mounted
// from, and mounting one that is mounted, run no command and succeed.
class TargetPartition : public platform::Partition {
public:
    TargetPartition(const StoreTarget& store, const PartitionTarget& partition, const TargetStorageContext& context);

    int Control(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output, std::uint32_t outputSize,
                std::uint32_t* bytesReturned) override;
    // Runs the unmount command and waits for the device to be let go of; a device still in use
    // then fails with kSharingViolation. The volume's folder is hidden from the file system after.
    bool Dismount() override;
    // Runs the mount command; the volume's folder shows again after.
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
    bool RunCommand(bool mount, const BlockDeviceInfo& device);
    bool AwaitRelease(const BlockDeviceInfo& device);
    // The storage manager keeps its own folder on every volume it mounts; a fresh format has none.
    // A folder that cannot be made is left to whoever needs it to fail.
    void KeepStoreFolder() const;

    const StoreTarget& store_;
    const PartitionTarget& partition_;
    const TargetStorageContext& context_;
};

}  // namespace velkor::board
