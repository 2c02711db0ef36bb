#include "backend/sim/storage/VolumeHandle.h"

#include "backend/shared/storage/FatLayout.h"
#include "backend/shared/storage/FatRecords.h"
#include "backend/shared/storage/VolumeDevice.h"
#include "platform/DeviceText.h"
#include "platform/DiskControlCodes.h"
#include "backend/sim/storage/VolumeFolder.h"

#include <algorithm>

namespace velkor::sim {
namespace {

// The switch that cuts a reply a byte short.
bool StorageFaults::*ShortReplySwitch(bool freeSpace) {
    return freeSpace ? &StorageFaults::freeSpaceShort : &StorageFaults::volumeParametersShort;
}

template <typename Record>
std::vector<std::uint8_t> Bytes(const Record& record) {
    return std::vector<std::uint8_t>(record.begin(), record.end());
}

}  // namespace

VolumeHandle::VolumeHandle(std::u16string openedName, PartitionState& partition, StorageContext& context)
    : openedName_(std::move(openedName)), partition_(partition), context_(context) {
    partition_.volumeDeviceOpen = true;
}

VolumeHandle::~VolumeHandle() { partition_.volumeDeviceOpen = false; }

int VolumeHandle::Control(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output,
                          std::uint32_t outputSize, std::uint32_t* bytesReturned) {
    shared::ControlCall call(code, input, inputSize, output, outputSize, bytesReturned);
    return call.Answer(Reply(call), platform::ToUtf8(openedName_), context_.errors, context_.events);
}

std::optional<std::vector<std::uint8_t>> VolumeHandle::Reply(const shared::ControlCall& call) {
    const shared::VolumeCode* code = shared::AcceptVolumeCall(call, context_.errors);
    if (!code) {
        return std::nullopt;
    }
    const bool freeSpace = code->code == platform::IOCTL_DISK_GET_FREE_SPACE;
    std::optional<std::vector<std::uint8_t>> reply = freeSpace ? FreeSpace() : VolumeParameters();
    if (reply && context_.faults.*ShortReplySwitch(freeSpace)) {
        reply->pop_back();
    }
    return reply;
}

std::vector<std::uint8_t> VolumeHandle::VolumeParameters() const {
    return Bytes(shared::MakeVolumeParametersRecord(partition_.fat));
}

std::optional<std::vector<std::uint8_t>> VolumeHandle::FreeSpace() {
    const shared::FatParameters& fat = partition_.fat;
    const std::optional<std::uint64_t> used =
        VolumeFolder(context_.root, partition_.config.folder, context_.errors).UsedClusters(shared::ClusterBytes(fat));
    if (!used) {
        return std::nullopt;
    }
    const std::uint32_t total = shared::DataClusters(fat);
    const auto free = static_cast<std::uint32_t>(total - std::min<std::uint64_t>(*used, total));
    return Bytes(shared::MakeFreeSpaceRecord(fat, free));
}

}  // namespace velkor::sim
