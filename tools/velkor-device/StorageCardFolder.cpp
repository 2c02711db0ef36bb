#include "velkor-device/StorageCardFolder.h"

#include "mainwnd/CUpdateDialog.h"
#include "mainwnd/StorageCardSearch.h"
#include "platform/DeviceText.h"
#include "platform/StoreProfiles.h"

namespace velkor::device_tool {

std::optional<std::u16string> StorageCardFolder(platform::Registry& registry, platform::FileSystem& fileSystem) {
    if (std::u16string found = mainwnd::FindStorageCard(registry, fileSystem); !found.empty()) {
        return found;
    }
    const auto folders = platform::RemovableStoreFolders(registry);
    if (!folders || folders->empty()) {
        return std::nullopt;
    }
    return u"\\" + folders->back();
}

std::u16string_view SettingsFolder() { return mainwnd::kSettingsPath.substr(0, mainwnd::kSettingsPath.rfind(u'\\')); }

bool HoldsSettingsFile(std::u16string_view cardFolder) {
    return platform::EqualsIgnoreCase(cardFolder, SettingsFolder());
}

}  // namespace velkor::device_tool
