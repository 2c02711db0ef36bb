#include "sim/SimDeviceIo.h"

#include "platform/DeviceText.h"
#include "sim/flash/FlashHandle.h"

#include <algorithm>

namespace velkor::sim {
namespace {

namespace error = platform::error;

constexpr std::u16string_view kFlashProfileKey = u"System\\StorageManager\\Profiles\\BinFLASH";
constexpr std::u16string_view kFolderValue = u"Folder";
constexpr std::u16string_view kFallbackName = u"\\pelmarflash\\Vol:";
constexpr std::u16string_view kVolumeSuffix = u"\\Vol:";

}  // namespace

SimDeviceIo::SimDeviceIo(const RegistryTree& registry, platform::FileSystem& fileSystem, const DeviceConfig& config,
                         std::filesystem::path flashDir, ErrorState& errors, LogFile& events)
    : registry_(registry),
      absence_(config.faults.flashDeviceAbsent),
      driver_(fileSystem, config, std::move(flashDir), errors),
      errors_(errors),
      events_(events) {}

std::unique_ptr<platform::DeviceHandle> SimDeviceIo::OpenDevice(std::u16string_view path, std::uint32_t,
                                                                std::uint32_t) {
    const std::vector<std::u16string> names = FlashDeviceNames();
    const bool known = std::any_of(names.begin(), names.end(),
                                   [&](const std::u16string& name) { return platform::EqualsIgnoreCase(name, path); });
    if (!known) {
        errors_.Fail(error::kFileNotFound);
        return nullptr;
    }
    if (flashClaimed_) {
        errors_.Fail(error::kSharingViolation);
        return nullptr;
    }
    return std::make_unique<FlashHandle>(std::u16string(path), driver_, errors_, events_, flashClaimed_);
}

std::vector<std::u16string> SimDeviceIo::FlashDeviceNames() const {
    std::vector<std::u16string> names;
    if (absence_ == FlashDeviceAbsence::Both) {
        return names;
    }
    names.emplace_back(kFallbackName);
    const std::optional<RegistryTree::KeyId> profile = registry_.Find(kFlashProfileKey);
    const RegistryValue* folder = profile ? registry_.FindValue(*profile, kFolderValue) : nullptr;
    const auto* folderName = folder ? std::get_if<std::u16string>(folder) : nullptr;
    if (folderName && absence_ == FlashDeviceAbsence::None) {
        names.push_back(u"\\" + *folderName + std::u16string(kVolumeSuffix));
    }
    return names;
}

}  // namespace velkor::sim
