#pragma once

#include "backend/shared/storage/ControlCall.h"
#include "platform/StorageManager.h"
#include "backend/sim/storage/PartitionState.h"
#include "backend/sim/storage/StorageContext.h"

#include <optional>
#include <vector>

namespace velkor::sim {

// An open partition of a store: its disk driver answers DISK_IOCTL_GETINFO, and it dismounts and
// mounts the partition's volume. Each request and each dismount or mount is one events.log line.
// Dismounting a dismounted partition and mounting a mounted one succeed and change nothing.
class SimPartition : public platform::Partition {
public:
    SimPartition(PartitionState& partition, StorageContext& context);

    int Control(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output, std::uint32_t outputSize,
                std::uint32_t* bytesReturned) override;
    bool Dismount() override;
    bool Mount() override;

    PartitionState& State() { return partition_; }

private:
    // Nothing, with the last error set, when the request is refused.
    std::optional<std::vector<std::uint8_t>> Reply(const shared::ControlCall& call);
    bool ChangeMount(bool mounted);

    PartitionState& partition_;
    StorageContext& context_;
};

}  // namespace velkor::sim
