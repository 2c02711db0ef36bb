#include "backend/sim/SimDeviceIo.h"

#include "backend/shared/FlashDeviceNames.h"
#include "backend/shared/NameList.h"
#include "backend/shared/flash/FlashHandle.h"
#include "backend/shared/storage/CombinedDeviceHandle.h"
#include "backend/shared/storage/VolumeDevice.h"
#include "platform/DeviceText.h"
#include "backend/sim/storage/VolumeHandle.h"

namespace velkor::sim {
namespace {

namespace error = platform::error;

}  // namespace

SimDeviceIo::SimDeviceIo(const shared::RegistryTree& registry, platform::FileSystem& fileSystem, const DeviceConfig& config,
                         std::filesystem::path flashDir, shared::SlotSwitch& slotSwitch, PowerCut& powerCut,
                         shared::CardApproval& approval, shared::ReleaseRecord& record,
                         std::function<void(std::string_view)> debugLine, StorageContext& storage,
                         shared::ErrorState& errors, shared::EventLog& events)
    : registry_(registry),
      absence_(config.faults.flashDeviceAbsent),
      driver_(fileSystem, config, std::move(flashDir), slotSwitch, powerCut, approval, std::move(debugLine), errors),
      record_(record),
      storage_(storage),
      errors_(errors),
      events_(events) {}

std::unique_ptr<platform::DeviceHandle> SimDeviceIo::OpenDevice(std::u16string_view path, std::uint32_t,
                                                                std::uint32_t) {
    const std::optional<FlashName> flash = FindFlashName(path);
    PartitionState* volume = FindVolumeDevice(path);
    const bool absent = (flash && flash->absent) ||
                        (volume && shared::ListsName(storage_.faults.volumeDeviceAbsent, volume->config.volume));
    if ((!flash && !volume) || absent) {
        errors_.Fail(error::kFileNotFound);
        return nullptr;
    }
    if ((flash && flashClaimed_) || (volume && volume->volumeDeviceOpen)) {
        errors_.Fail(error::kSharingViolation);
        return nullptr;
    }
    const std::u16string name(path);
    if (!volume) {
        return std::make_unique<shared::FlashHandle>(name, driver_, errors_, events_, flashClaimed_);
    }
    auto volumeHandle = std::make_unique<VolumeHandle>(name, *volume, storage_);
    if (!flash) {
        return volumeHandle;
    }
    return std::make_unique<shared::CombinedDeviceHandle>(
        std::make_unique<shared::FlashHandle>(name, driver_, errors_, events_, flashClaimed_), std::move(volumeHandle),
        shared::IsVolumeCode);
}

int SimDeviceIo::CommitUpdate(bool wholeUpdate) {
    const bool committed = record_.Commit(
        wholeUpdate, [this](const shared::BootVariables& alsoStored, bool whole) {
            return driver_.CommitUpdate(alsoStored, whole);
        });
    return committed ? 1 : 0;
}

void SimDeviceIo::ImageFailed(std::uint32_t controlCode) { driver_.ImageFailed(controlCode); }

platform::UpdateStart SimDeviceIo::StartUpdate(bool unattended) { return driver_.StartUpdate(unattended, record_); }

std::optional<SimDeviceIo::FlashName> SimDeviceIo::FindFlashName(std::u16string_view path) const {
    for (FlashName& name : FlashDeviceNames()) {
        if (platform::EqualsIgnoreCase(name.name, path)) {
            return std::move(name);
        }
    }
    return std::nullopt;
}

PartitionState* SimDeviceIo::FindVolumeDevice(std::u16string_view path) {
    for (PartitionState& partition : storage_.state.Partitions()) {
        if (shared::NamesVolumeDevice(path, partition.config.volume)) {
            return &partition;
        }
    }
    return nullptr;
}

std::vector<SimDeviceIo::FlashName> SimDeviceIo::FlashDeviceNames() const {
    // The fixed name comes first; it is taken away only when both are.
    std::vector<FlashName> names;
    for (std::u16string& name : shared::FlashDeviceNames(registry_)) {
        const bool absent = names.empty() ? absence_ == FlashDeviceAbsence::Both : absence_ != FlashDeviceAbsence::None;
        names.push_back({std::move(name), absent});
    }
    return names;
}

}  // namespace velkor::sim
