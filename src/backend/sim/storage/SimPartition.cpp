#include "backend/sim/storage/SimPartition.h"

#include "backend/shared/EventLog.h"
#include "backend/shared/storage/FatRecords.h"
#include "backend/shared/storage/VolumeDevice.h"
#include "platform/DiskControlCodes.h"
#include "backend/sim/storage/VolumeFolder.h"

#include <fmt/format.h>

namespace velkor::sim {
namespace {

namespace error = platform::error;


}  // namespace

SimPartition::SimPartition(PartitionState& partition, StorageContext& context)
    : partition_(partition), context_(context) {}

int SimPartition::Control(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output,
                          std::uint32_t outputSize, std::uint32_t* bytesReturned) {
    shared::ControlCall call(code, input, inputSize, output, outputSize, bytesReturned);
    return call.Answer(Reply(call), partition_.Label(), context_.errors, context_.events);
}

bool SimPartition::Dismount() { return ChangeMount(false); }

bool SimPartition::Mount() { return ChangeMount(true); }

std::optional<std::vector<std::uint8_t>> SimPartition::Reply(const shared::ControlCall& call) {
    if (call.Code() != platform::DISK_IOCTL_GETINFO) {
        context_.errors.Fail(error::kNotSupported);
        return std::nullopt;
    }
    if (context_.faults.diskInfoFails) {
        context_.errors.Fail(error::kAccessDenied);
        return std::nullopt;
    }
    const platform::DiskInfo record = shared::DiskInfoRecord(partition_.fat);
    if (!call.OutputHolds(record.size(), context_.errors)) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(record.begin(), record.end());
}

bool SimPartition::ChangeMount(bool mounted) {
    // Only a dismount can fail: a device refuses it while the volume is in use.
    const bool done = mounted || !context_.faults.dismountFails;
    if (!done) {
        context_.errors.Fail(error::kSharingViolation);
    }
    const bool mountsAgain = done && mounted && !context_.state.IsMounted(partition_);
    if (done) {
        context_.state.SetMounted(partition_, mounted);
    }
    if (mountsAgain) {
        // The storage manager keeps its own folder on every volume it mounts; a fresh format has none.
        VolumeFolder(context_.root, partition_.config.folder, context_.errors).MakeFolder(std::string(shared::kStoreFolder));
    }
    if (mounted) {
        context_.events.Mount(partition_.Label(), done, context_.errors.Last());
    } else {
        context_.events.Dismount(partition_.Label(), done, context_.errors.Last());
    }
    return done;
}

}  // namespace velkor::sim
