#pragma once

#include "platform/FileSystem.h"
#include "platform/Registry.h"

#include <optional>
#include <string>
#include <string_view>

namespace velkor::device_tool {

// Where a device's storage card is, or appears once a card is in: the card the updater finds, else
// the folder of the last removable store's profile, as "\StorageCard". Nothing when no profile
// describes a removable store, since the updater would then find no card at all.
std::optional<std::u16string> StorageCardFolder(platform::Registry& registry, platform::FileSystem& fileSystem);

// The folder the updater reads its settings file from, whatever card it found: "\StorageCard".
std::u16string_view SettingsFolder();

// True when the settings file the updater reads lies on the storage card at `cardFolder`.
bool HoldsSettingsFile(std::u16string_view cardFolder);

}  // namespace velkor::device_tool
