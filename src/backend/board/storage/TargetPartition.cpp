#include "backend/board/storage/TargetPartition.h"

#include "backend/shared/storage/FatRecords.h"
#include "backend/shared/storage/PartitionLabel.h"
#include "backend/shared/storage/VolumeDevice.h"
#include "platform/DiskControlCodes.h"
#include "backend/board/storage/PartitionDevice.h"

#include <algorithm>
#include <filesystem>
#include <thread>

namespace velkor::board {
namespace {

namespace error = platform::error;

constexpr std::chrono::milliseconds kReleasePoll{20};
constexpr const char* kDevicePlaceholder = "{device}";
constexpr const char* kMountPointPlaceholder = "{mountPoint}";

// The root folder that is the volume: "\VKRFlash" is VKRFlash.
std::u16string_view VolumeFolder(std::u16string_view volume) {
    return volume.substr(std::min(volume.find_first_not_of(u'\\'), volume.size()));
}

}  // namespace

TargetPartition::TargetPartition(const StoreTarget& store, const PartitionTarget& partition,
                                 const TargetStorageContext& context)
    : store_(store), partition_(partition), context_(context) {}

int TargetPartition::Control(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output,
                             std::uint32_t outputSize, std::uint32_t* bytesReturned) {
    shared::ControlCall call(code, input, inputSize, output, outputSize, bytesReturned);
    return call.Answer(Reply(call), Label(), context_.errors, context_.events);
}

bool TargetPartition::Dismount() { return ChangeMount(false); }

bool TargetPartition::Mount() { return ChangeMount(true); }

std::string TargetPartition::Label() const { return shared::PartitionLabel(store_.deviceName, partition_.name); }

std::optional<std::vector<std::uint8_t>> TargetPartition::Reply(const shared::ControlCall& call) {
    if (call.Code() != platform::DISK_IOCTL_GETINFO) {
        context_.errors.Fail(error::kNotSupported);
        return std::nullopt;
    }
    if (!call.OutputHolds(std::tuple_size_v<platform::DiskInfo>, context_.errors)) {
        return std::nullopt;
    }
    const std::optional<BlockDeviceInfo> device = ExaminePartitionDevice(partition_.device, context_.errors);
    const std::optional<shared::DiskGeometry> geometry =
        device ? PartitionGeometry(*device, context_.errors) : std::nullopt;
    if (!geometry) {
        return std::nullopt;
    }
    const platform::DiskInfo record = shared::DiskInfoRecord(*geometry);
    return std::vector<std::uint8_t>(record.begin(), record.end());
}

bool TargetPartition::ChangeMount(bool mount) {
    const bool done = SetMounted(mount);
    if (mount) {
        context_.events.Mount(Label(), done, context_.errors.Last());
    } else {
        context_.events.Dismount(Label(), done, context_.errors.Last());
    }
    return done;
}

bool TargetPartition::SetMounted(bool mount) {
    const std::optional<BlockDeviceInfo> device = ExaminePartitionDevice(partition_.device, context_.errors);
    if (!device) {
        return false;
    }
    return mount ? MountVolume(*device) : DismountVolume(*device);
}

bool TargetPartition::MountVolume(const BlockDeviceInfo& device) {
    const std::optional<bool> mounted = IsPartitionMountedAt(device, partition_.mountPoint, context_.errors);
    if (!mounted) {
        return false;
    }
    if (!*mounted && !RunMount(device)) {
        return false;
    }
    context_.dismounted.Remove(VolumeFolder(partition_.volume));
    return true;
}

bool TargetPartition::RunMount(const BlockDeviceInfo& device) {
    // Mounted elsewhere, or its bytes in use under another name: a second mount would write them
    // from two file systems at once.
    const std::optional<StorageUse> use = PartitionUse(device, partition_.device, OwnMounts::Count, context_.errors);
    if (!use) {
        return false;
    }
    if (use->kind != UseKind::Free) {
        return context_.errors.Fail(error::kSharingViolation);
    }
    if (!RunCommand(context_.commands.mount, device)) {
        return false;
    }
    // A command may exit with 0 and mount nothing, or mount something else: the bare mount point
    // is a folder of the root file system, which the volume's folder must not show.
    const std::optional<bool> mounted = IsPartitionMountedAt(device, partition_.mountPoint, context_.errors);
    if (!mounted) {
        return false;
    }
    if (!*mounted) {
        return context_.errors.Fail(error::kNotReady);
    }
    KeepStoreFolder();
    return true;
}

bool TargetPartition::DismountVolume(const BlockDeviceInfo& device) {
    const std::optional<bool> mounted = IsPartitionMountedAt(device, partition_.mountPoint, context_.errors);
    if (!mounted) {
        return false;
    }
    if (*mounted && !Unmount(device)) {
        return false;
    }
    context_.dismounted.Add(VolumeFolder(partition_.volume));
    return true;
}

bool TargetPartition::Unmount(const BlockDeviceInfo& device) {
    if (!RunCommand(context_.commands.unmount, device)) {
        return false;
    }
    return AwaitRelease(device);
}

void TargetPartition::KeepStoreFolder() const {
    std::error_code ignored;
    std::filesystem::create_directory(partition_.mountPoint / shared::kStoreFolder, ignored);
}

bool TargetPartition::RunCommand(const CommandLine& command, const BlockDeviceInfo& device) {
    if (!IsStillTheDevice(partition_.device, device, context_.errors)) {
        return false;
    }
    const Placeholders placeholders{{kDevicePlaceholder, partition_.device.string()},
                                    {kMountPointPlaceholder, partition_.mountPoint.string()}};
    return context_.runner.Run(command, placeholders, context_.errors);
}

bool TargetPartition::AwaitRelease(const BlockDeviceInfo& device) {
    const auto deadline = std::chrono::steady_clock::now() + context_.releaseWait;
    for (;;) {
        const std::optional<bool> mounted = IsPartitionMounted(device, context_.errors);
        if (!mounted) {
            return false;
        }
        if (!*mounted) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return context_.errors.Fail(error::kSharingViolation);
        }
        std::this_thread::sleep_for(kReleasePoll);
    }
}

}  // namespace velkor::board
