#pragma once

#include "backend/shared/DismountedFolders.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "platform/DeviceIo.h"
#include "platform/StorageManager.h"
#include "backend/board/TargetConfig.h"
#include "backend/board/storage/CommandRunner.h"
#include "backend/board/storage/TargetStorageContext.h"

#include <chrono>
#include <memory>
#include <set>
#include <string_view>
#include <vector>

namespace velkor::board {

// The real device's storage manager: the stores of the target file, in its order, with their
// partitions on block devices, and the partitions' volume devices.
class TargetStorageManager : public platform::StorageManager {
public:
    static constexpr std::chrono::milliseconds kDefaultReleaseWait{5000};

    // Everything given must outlive the manager and what it opens. A dismount hides the volume's
    // folder ("\VKRFlash" hides VKRFlash) in `dismounted` and a mount shows it again.
    TargetStorageManager(const std::vector<StoreTarget>& stores, const TargetCommands& commands,
                         const CommandRunner& runner, shared::DismountedFolders& dismounted, shared::ErrorState& errors,
                         shared::EventLog& events, std::chrono::milliseconds releaseWait = kDefaultReleaseWait);

    TargetStorageManager(const TargetStorageManager&) = delete;
    TargetStorageManager& operator=(const TargetStorageManager&) = delete;

    std::unique_ptr<platform::StoreSearch> FindFirstStore(platform::StoreInfo& first) override;
    // Device names compare without regard to case; kFileNotFound for a name no store has.
    std::unique_ptr<platform::Store> OpenStore(std::u16string_view deviceName) override;

    // The volume device of the partition whose volume `path` names ("<volume>\Vol:", letter case
    // aside), one handle at a time. Null with kFileNotFound when no partition's volume goes by that
    // name, kSharingViolation while its device is open.
    std::unique_ptr<platform::DeviceHandle> OpenVolumeDevice(std::u16string_view path);

private:
    // The first partition, in the target file's order, whose volume device `path` names; null when none.
    const PartitionTarget* FindVolume(std::u16string_view path) const;

    const std::vector<StoreTarget>& stores_;
    TargetStorageContext context_;
    std::set<const PartitionTarget*> claimedVolumes_;
};

}  // namespace velkor::board
