#include "sim/SimDeviceIo.h"

#include "platform/DeviceText.h"
#include "sim/flash/FlashHandle.h"
#include "sim/storage/CombinedDeviceHandle.h"
#include "sim/storage/NameList.h"
#include "sim/storage/VolumeHandle.h"

namespace velkor::sim {
namespace {

namespace error = platform::error;

constexpr std::u16string_view kFlashProfileKey = u"System\\StorageManager\\Profiles\\BinFLASH";
constexpr std::u16string_view kFolderValue = u"Folder";
constexpr std::u16string_view kFallbackName = u"\\pelmarflash\\Vol:";

}  // namespace

SimDeviceIo::SimDeviceIo(const RegistryTree& registry, platform::FileSystem& fileSystem, const DeviceConfig& config,
                         std::filesystem::path flashDir, StorageContext& storage, ErrorState& errors,
                         LogFile& events)
    : registry_(registry),
      absence_(config.faults.flashDeviceAbsent),
      driver_(fileSystem, config, std::move(flashDir), errors),
      storage_(storage),
      errors_(errors),
      events_(events) {}

std::unique_ptr<platform::DeviceHandle> SimDeviceIo::OpenDevice(std::u16string_view path, std::uint32_t,
                                                                std::uint32_t) {
    const std::optional<FlashName> flash = FindFlashName(path);
    PartitionState* volume = FindVolumeDevice(path);
    const bool absent = (flash && flash->absent) ||
                        (volume && ListsName(storage_.faults.volumeDeviceAbsent, volume->config.volume));
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
        return std::make_unique<FlashHandle>(name, driver_, errors_, events_, flashClaimed_);
    }
    auto volumeHandle = std::make_unique<VolumeHandle>(name, *volume, storage_);
    if (!flash) {
        return volumeHandle;
    }
    return std::make_unique<CombinedDeviceHandle>(
        std::make_unique<FlashHandle>(name, driver_, errors_, events_, flashClaimed_), std::move(volumeHandle));
}

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
        if (platform::EqualsIgnoreCase(partition.config.volume + std::u16string(kVolumeDeviceSuffix), path)) {
            return &partition;
        }
    }
    return nullptr;
}

std::vector<SimDeviceIo::FlashName> SimDeviceIo::FlashDeviceNames() const {
    std::vector<FlashName> names{{std::u16string(kFallbackName), absence_ == FlashDeviceAbsence::Both}};
    const std::optional<RegistryTree::KeyId> profile = registry_.Find(kFlashProfileKey);
    const RegistryValue* folder = profile ? registry_.FindValue(*profile, kFolderValue) : nullptr;
    const auto* folderName = folder ? std::get_if<std::u16string>(folder) : nullptr;
    if (folderName) {
        names.push_back({u"\\" + *folderName + std::u16string(kVolumeDeviceSuffix),
                         absence_ != FlashDeviceAbsence::None});
    }
    return names;
}

}  // namespace velkor::sim
