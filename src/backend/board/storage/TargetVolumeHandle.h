#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "backend/shared/storage/ControlCall.h"
#include "backend/shared/storage/FatParameters.h"
#include "platform/DeviceIo.h"
#include "backend/board/TargetConfig.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velkor::board {

// The open device of a partition's volume ("\VKRFlash\Vol:"): the volume parameters come from the
// boot sector on the partition's block device, the free space from the file system mounted on its
// mount point. The volume device is claimed while the handle lives, and every request sent through
// it is one events.log line. It must not outlive the storage manager it was opened from.
class TargetVolumeHandle : public platform::DeviceHandle {
public:
    // `openedName` is the name as the program gave it; `claimed` holds the partitions whose volume
    // device is open, this one among them until the handle goes.
    TargetVolumeHandle(std::u16string openedName, const PartitionTarget& partition,
                       std::set<const PartitionTarget*>& claimed, shared::ErrorState& errors, shared::EventLog& events);
    ~TargetVolumeHandle() override;

    TargetVolumeHandle(const TargetVolumeHandle&) = delete;
    TargetVolumeHandle& operator=(const TargetVolumeHandle&) = delete;

    int Control(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output, std::uint32_t outputSize,
                std::uint32_t* bytesReturned) override;

private:
    // Nothing, with the last error set, when the request is refused or the volume cannot be read.
    std::optional<std::vector<std::uint8_t>> Reply(const shared::ControlCall& call);
    // kInvalidData when the partition holds no FAT volume.
    std::optional<shared::FatParameters> ReadParameters();
    // kPathNotFound while the volume is dismounted.
    std::optional<std::vector<std::uint8_t>> FreeSpace(const shared::FatParameters& fat);

    std::u16string openedName_;
    const PartitionTarget& partition_;
    std::set<const PartitionTarget*>& claimed_;
    shared::ErrorState& errors_;
    shared::EventLog& events_;
};

}  // namespace velkor::board
