#include "sim/storage/VolumeHandle.h"

#include "platform/DeviceText.h"
#include "platform/DiskControlCodes.h"
#include "sim/storage/FatLayout.h"
#include "sim/storage/FatRecords.h"
#include "sim/storage/VolumeFolder.h"

#include <algorithm>
#include <array>

namespace velkor::sim {
namespace {

namespace error = platform::error;

struct VolumeCode {
    std::uint32_t code;
    std::uint32_t replyBytes;
    // The switch that cuts the reply a byte short.
    bool StorageFaults::*shortReply;
};
constexpr std::array<VolumeCode, 2> kVolumeCodes{{
    {platform::IOCTL_DISK_GET_VOLUME_PARAMETERS, platform::kVolumeParametersBytes,
     &StorageFaults::volumeParametersShort},
    {platform::IOCTL_DISK_GET_FREE_SPACE, platform::kFreeSpaceBytes, &StorageFaults::freeSpaceShort},
}};

const VolumeCode* FindVolumeCode(std::uint32_t code) {
    const auto found = std::find_if(kVolumeCodes.begin(), kVolumeCodes.end(),
                                    [&](const VolumeCode& known) { return known.code == code; });
    return found != kVolumeCodes.end() ? &*found : nullptr;
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

bool VolumeHandle::IsVolumeCode(std::uint32_t code) { return FindVolumeCode(code) != nullptr; }

int VolumeHandle::Control(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output,
                          std::uint32_t outputSize, std::uint32_t* bytesReturned) {
    ControlCall call(code, input, inputSize, output, outputSize, bytesReturned);
    return call.Answer(Reply(call), platform::ToUtf8(openedName_), context_.errors, context_.events);
}

std::optional<std::vector<std::uint8_t>> VolumeHandle::Reply(const ControlCall& call) {
    const VolumeCode* code = FindVolumeCode(call.Code());
    if (!code) {
        context_.errors.Fail(error::kNotSupported);
        return std::nullopt;
    }
    if (call.HasInput()) {
        context_.errors.Fail(error::kInvalidParameter);
        return std::nullopt;
    }
    if (!call.OutputHolds(code->replyBytes, context_.errors)) {
        return std::nullopt;
    }
    std::optional<std::vector<std::uint8_t>> reply =
        code->code == platform::IOCTL_DISK_GET_FREE_SPACE ? FreeSpace() : VolumeParameters();
    if (reply && context_.faults.*code->shortReply) {
        reply->pop_back();
    }
    return reply;
}

std::vector<std::uint8_t> VolumeHandle::VolumeParameters() const {
    return Bytes(MakeVolumeParametersRecord(partition_.fat));
}

std::optional<std::vector<std::uint8_t>> VolumeHandle::FreeSpace() {
    const FatParameters& fat = partition_.fat;
    const std::optional<std::uint64_t> used =
        VolumeFolder(context_.root, partition_.config.folder, context_.errors).UsedClusters(ClusterBytes(fat));
    if (!used) {
        return std::nullopt;
    }
    const std::uint32_t total = DataClusters(fat);
    const auto free = static_cast<std::uint32_t>(total - std::min<std::uint64_t>(*used, total));
    return Bytes(MakeFreeSpaceRecord(fat, free));
}

}  // namespace velkor::sim
