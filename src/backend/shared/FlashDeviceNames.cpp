#include "backend/shared/FlashDeviceNames.h"

#include "backend/shared/storage/VolumeDevice.h"

#include <variant>

namespace velkor::shared {
namespace {

// The device's own spelling of the profile its flash driver reads, apart from the program's on purpose:
// a typo in the program's must show, not be matched by the same typo here.
constexpr std::u16string_view kFlashProfileKey = u"System\\StorageManager\\Profiles\\BinFLASH";
constexpr std::u16string_view kFolderValue = u"Folder";

}  // namespace

std::vector<std::u16string> FlashDeviceNames(const RegistryTree& registry) {
    std::vector<std::u16string> names{std::u16string(kFallbackFlashDevice)};
    const std::optional<RegistryTree::KeyId> profile = registry.Find(kFlashProfileKey);
    const RegistryValue* folder = profile ? registry.FindValue(*profile, kFolderValue) : nullptr;
    if (const auto* folderName = folder ? std::get_if<std::u16string>(folder) : nullptr) {
        names.push_back(u"\\" + *folderName + std::u16string(kVolumeDeviceSuffix));
    }
    return names;
}

}  // namespace velkor::shared
