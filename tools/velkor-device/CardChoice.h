#pragma once

#include "platform/FileSystem.h"
#include "platform/Platform.h"
#include "update/UpdateSettings.h"

#include <string_view>

namespace velkor::device_tool {

// The rows the updater chooses from a storage card at start-up, as its main window chooses them:
// the images of the card's AutoUpdate folder, and without any the settings file's rows.
struct CardChoice {
    // The AutoUpdate folder chose the rows, so the update runs by itself.
    bool unattended = false;
    update::UpdateSettings settings;

    // True when at least one row would run: a row runs when its flag is set.
    bool ChoosesARow() const;
};

// `autoUpdateFolder` ends in a backslash; the settings file at `settingsPath` is read only when
// the folder chose nothing and the path is not empty.
CardChoice ChooseRows(platform::FileSystem& files, std::u16string_view autoUpdateFolder,
                      std::u16string_view settingsPath);

// What a device whose storage card is at `cardFolder` chooses at start-up.
CardChoice ChooseOnDevice(platform::Platform& platform, std::u16string_view cardFolder);

}  // namespace velkor::device_tool
