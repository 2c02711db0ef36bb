#pragma once

#include "velkor-device/CommandLine.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace velkor::device_tool {

// The folder of a card's images in each layout, below the card's root: "AutoUpdate", "Images".
std::u16string_view ImagesFolder(CardLayout layout);

// The settings file's name in the card's root: "updater.cfg".
std::u16string_view SettingsFileName();

// The first entry below `folder` (as a path relative to it) that no card laid out by `card` holds;
// nothing when the folder holds only a card's folders and files, so that replacing it loses nothing
// else. Links and special files are never a card's.
std::optional<std::filesystem::path> ForeignEntry(const std::filesystem::path& folder);

}  // namespace velkor::device_tool
