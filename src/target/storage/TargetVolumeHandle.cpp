#include "target/storage/TargetVolumeHandle.h"

#include "host/HostErrors.h"
#include "host/storage/BootSector.h"
#include "host/storage/FatLayout.h"
#include "host/storage/FatRecords.h"
#include "host/storage/VolumeDevice.h"
#include "platform/DeviceText.h"
#include "platform/DiskControlCodes.h"
#include "target/storage/PartitionDevice.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>

namespace velkor::target {
namespace {

namespace error = platform::error;

}  // namespace

TargetVolumeHandle::TargetVolumeHandle(std::u16string openedName, const PartitionTarget& partition,
                                       std::set<const PartitionTarget*>& claimed, host::ErrorState& errors,
                                       host::EventLog& events)
    : openedName_(std::move(openedName)), partition_(partition), claimed_(claimed), errors_(errors), events_(events) {
    claimed_.insert(&partition_);
}

TargetVolumeHandle::~TargetVolumeHandle() { claimed_.erase(&partition_); }

int TargetVolumeHandle::Control(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output,
                                std::uint32_t outputSize, std::uint32_t* bytesReturned) {
    host::ControlCall call(code, input, inputSize, output, outputSize, bytesReturned);
    return call.Answer(Reply(call), platform::ToUtf8(openedName_), errors_, events_);
}

std::optional<std::vector<std::uint8_t>> TargetVolumeHandle::Reply(const host::ControlCall& call) {
    const host::VolumeCode* code = host::AcceptVolumeCall(call, errors_);
    const std::optional<host::FatParameters> fat = code ? ReadParameters() : std::nullopt;
    if (!fat) {
        return std::nullopt;
    }
    if (code->code == platform::IOCTL_DISK_GET_FREE_SPACE) {
        return FreeSpace(*fat);
    }
    const host::VolumeParametersRecord record = host::MakeVolumeParametersRecord(*fat);
    return std::vector<std::uint8_t>(record.begin(), record.end());
}

std::optional<host::FatParameters> TargetVolumeHandle::ReadParameters() {
    const std::optional<FirstSector> sector = ReadFirstSector(partition_.device, errors_);
    if (!sector) {
        return std::nullopt;
    }
    std::optional<host::FatParameters> fat = host::ReadBootSector(*sector);
    if (!fat) {
        errors_.Fail(error::kInvalidData);
    }
    return fat;
}

std::optional<std::vector<std::uint8_t>> TargetVolumeHandle::FreeSpace(const host::FatParameters& fat) {
    const std::optional<BlockDeviceInfo> device = ExaminePartitionDevice(partition_.device, errors_);
    const std::optional<bool> mounted = device ? IsPartitionMounted(*device, errors_) : std::nullopt;
    if (!mounted) {
        return std::nullopt;
    }
    if (!*mounted) {
        // The folder would report the file system it lies on.
        errors_.Fail(error::kPathNotFound);
        return std::nullopt;
    }
    struct statvfs volume {};
    if (::statvfs(partition_.mountPoint.c_str(), &volume) != 0) {
        errors_.Fail(host::DeviceErrorFromErrno(errno));
        return std::nullopt;
    }
    const std::uint64_t freeBytes = std::uint64_t{volume.f_bavail} * volume.f_frsize;
    const std::uint32_t total = host::DataClusters(fat);
    const auto free = static_cast<std::uint32_t>(std::min<std::uint64_t>(freeBytes / host::ClusterBytes(fat), total));
    const host::FreeSpaceRecord record = host::MakeFreeSpaceRecord(fat, free);
    return std::vector<std::uint8_t>(record.begin(), record.end());
}

}  // namespace velkor::target
