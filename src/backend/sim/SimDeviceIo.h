#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "backend/shared/RegistryTree.h"
#include "backend/shared/ReleaseRecord.h"
#include "platform/DeviceIo.h"
#include "platform/FileSystem.h"
#include "backend/sim/DeviceConfig.h"
#include "backend/sim/flash/FlashDriver.h"
#include "backend/sim/storage/StorageContext.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velkor::sim {

// The device's drivers: the flash driver, reached as the volume of the BinFLASH storage profile's
// folder ("\VKRFlash\Vol:") or by its fixed name "\pelmarflash\Vol:", and the volume device of each
// partition ("<volume>\Vol:"), each one handle at a time. A name that reaches both the flash driver
// and a volume opens both, as one handle, and is taken away when a fault switch takes away either.
class SimDeviceIo : public platform::DeviceIo {
public:
    // The registry is read at each open, so the profile's folder is the one of that moment.
    SimDeviceIo(const shared::RegistryTree& registry, platform::FileSystem& fileSystem, const DeviceConfig& config,
                std::filesystem::path flashDir, shared::SlotSwitch& slotSwitch, PowerCut& powerCut,
                shared::CardApproval& approval, shared::ReleaseRecord& record,
                std::function<void(std::string_view)> debugLine, StorageContext& storage, shared::ErrorState& errors,
                shared::EventLog& events);

    // Every device is exclusive whatever the access and share mode asked for.
    std::unique_ptr<platform::DeviceHandle> OpenDevice(std::u16string_view path, std::uint32_t access,
                                                       std::uint32_t shareMode) override;
    // The flash driver's commit point, which records the installed release (ReleaseRecord::Commit).
    int CommitUpdate(bool wholeUpdate) override;
    void ImageFailed(std::uint32_t controlCode) override;
    platform::UpdateStart StartUpdate(bool unattended) override;

private:
    struct FlashName {
        std::u16string name;
        bool absent;  // taken away by the flashDeviceAbsent switch
    };
    // The names the flash device answers to, as the registry and the fault switches stand.
    std::vector<FlashName> FlashDeviceNames() const;
    std::optional<FlashName> FindFlashName(std::u16string_view path) const;
    // The partition whose volume device goes by `path`; null when none does.
    PartitionState* FindVolumeDevice(std::u16string_view path);

    const shared::RegistryTree& registry_;
    FlashDeviceAbsence absence_;
    FlashDriver driver_;
    shared::ReleaseRecord& record_;
    StorageContext& storage_;
    shared::ErrorState& errors_;
    shared::EventLog& events_;
    bool flashClaimed_ = false;
};

}  // namespace velkor::sim
