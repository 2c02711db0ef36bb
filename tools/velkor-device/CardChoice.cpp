#include "velkor-device/CardChoice.h"

#include "mainwnd/AutoUpdateDetection.h"
#include "mainwnd/CSettingsFile.h"
#include "mainwnd/CUpdateDialog.h"
#include "mainwnd/SettingsEntries.h"
#include "platform/DeviceText.h"

#include <algorithm>

namespace velkor::device_tool {

bool CardChoice::ChoosesARow() const {
    return std::any_of(mainwnd::kSettingsFileOrder.begin(), mainwnd::kSettingsFileOrder.end(),
                       [&](update::ImageKind kind) { return settings.Enabled(kind) != 0; });
}

CardChoice ChooseRows(platform::FileSystem& files, std::u16string_view autoUpdateFolder,
                      std::u16string_view settingsPath) {
    CardChoice choice;
    choice.unattended = mainwnd::DetectAutoUpdate(files, autoUpdateFolder, choice.settings);
    if (!choice.unattended && !settingsPath.empty()) {
        platform::StringArray entries;
        mainwnd::CSettingsFile(files, std::u16string(settingsPath)).ReadEntries(entries);
        mainwnd::ApplySettingsEntries(entries, choice.settings);
    }
    return choice;
}

CardChoice ChooseOnDevice(platform::Platform& platform, std::u16string_view cardFolder) {
    return ChooseRows(platform.fileSystem, platform::Format(u"%s\\%s\\", cardFolder, mainwnd::kAutoUpdateFolder),
                      mainwnd::kSettingsPath);
}

}  // namespace velkor::device_tool
