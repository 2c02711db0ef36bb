#include "backend/board/storage/TargetVolumeHandle.h"

#include "backend/shared/ErrnoErrors.h"
#include "backend/shared/storage/BootSector.h"
#include "backend/shared/storage/FatLayout.h"
#include "backend/shared/storage/FatRecords.h"
#include "backend/shared/storage/VolumeDevice.h"
#include "platform/DeviceText.h"
#include "platform/DiskControlCodes.h"
#include "backend/board/storage/PartitionDevice.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>

namespace velkor::board {
namespace {

namespace error = platform::error;

}  // namespace

TargetVolumeHandle::TargetVolumeHandle(std::u16string openedName, const PartitionTarget& partition,
                                       std::set<const PartitionTarget*>& claimed, shared::ErrorState& errors,
                                       shared::EventLog& events)
    : openedName_(std::move(openedName)), partition_(partition), claimed_(claimed), errors_(errors), events_(events) {
    claimed_.insert(&partition_);
}

TargetVolumeHandle::~TargetVolumeHandle() { claimed_.erase(&partition_); }

int TargetVolumeHandle::Control(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output,
                                std::uint32_t outputSize, std::uint32_t* bytesReturned) {
    shared::ControlCall call(code, input, inputSize, output, outputSize, bytesReturned);
    return call.Answer(Reply(call), platform::ToUtf8(openedName_), errors_, events_);
}

std::optional<std::vector<std::uint8_t>> TargetVolumeHandle::Reply(const shared::ControlCall& call) {
    const shared::VolumeCode* code = shared::AcceptVolumeCall(call, errors_);
    const std::optional<shared::FatParameters> fat = code ? ReadParameters() : std::nullopt;
    if (!fat) {
        return std::nullopt;
    }
    if (code->code == platform::IOCTL_DISK_GET_FREE_SPACE) {
        return FreeSpace(*fat);
    }
    const shared::VolumeParametersRecord record = shared::MakeVolumeParametersRecord(*fat);
    return std::vector<std::uint8_t>(record.begin(), record.end());
}

std::optional<shared::FatParameters> TargetVolumeHandle::ReadParameters() {
    const std::optional<FirstSector> sector = ReadFirstSector(partition_.device, errors_);
    if (!sector) {
        return std::nullopt;
    }
    std::optional<shared::FatParameters> fat = shared::ReadBootSector(*sector);
    if (!fat) {
        errors_.Fail(error::kInvalidData);
    }
    return fat;
}

std::optional<std::vector<std::uint8_t>> TargetVolumeHandle::FreeSpace(const shared::FatParameters& fat) {
    const std::optional<BlockDeviceInfo> device = ExaminePartitionDevice(partition_.device, errors_);
    const std::optional<bool> mounted =
        device ? IsPartitionMountedAt(*device, partition_.mountPoint, errors_) : std::nullopt;
    if (!mounted) {
        return std::nullopt;
    }
    if (!*mounted) {
        // The folder would report the file system it lies on, or another one mounted there.
        errors_.Fail(error::kPathNotFound);
        return std::nullopt;
    }
    struct statvfs volume {};
    if (::statvfs(partition_.mountPoint.c_str(), &volume) != 0) {
        errors_.Fail(shared::DeviceErrorFromErrno(errno));
        return std::nullopt;
    }
    const std::uint64_t freeBytes = std::uint64_t{volume.f_bavail} * volume.f_frsize;
    const std::uint32_t total = shared::DataClusters(fat);
    const auto free = static_cast<std::uint32_t>(std::min<std::uint64_t>(freeBytes / shared::ClusterBytes(fat), total));
    const shared::FreeSpaceRecord record = shared::MakeFreeSpaceRecord(fat, free);
    return std::vector<std::uint8_t>(record.begin(), record.end());
}

}  // namespace velkor::board
