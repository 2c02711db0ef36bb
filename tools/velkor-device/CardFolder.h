#pragma once

#include "backend/shared/DismountedFolders.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/FolderFileSystem.h"
#include "velkor-device/CardChoice.h"

#include <filesystem>
#include <string>
#include <vector>

namespace velkor::device_tool {

// The engineer's card folder as the storage card it becomes on a device whose card appears at
// `deviceCardFolder` ("\StorageCard"): what it chooses by itself, why it chooses nothing, and
// which files of the device's card it brings. Read through the program's own file system, so
// names match in any letter case as on the card.
class CardFolder {
public:
    // Throws shared::DeviceError when `folder` is not a folder, or holds a link or anything else a
    // storage card cannot hold.
    CardFolder(std::filesystem::path folder, std::u16string deviceCardFolder);

    CardFolder(const CardFolder&) = delete;
    CardFolder& operator=(const CardFolder&) = delete;

    const std::filesystem::path& Path() const { return folder_; }

    // What the card chooses on a storage card that holds nothing else.
    CardChoice Choice();
    // Why it chooses no row, one reason each: its AutoUpdate folder, its settings file, and a card
    // copied one folder too deep.
    std::vector<std::string> WhyNoRow();
    // True when `devicePath` lies on the device's storage card but the card does not bring it, so
    // that only an earlier card can have put a file there.
    bool LeavesToEarlierCard(std::u16string_view devicePath);

private:
    std::string AutoUpdateReason();
    std::string SettingsFileReason();
    std::vector<std::string> NestedCardReasons();

    std::filesystem::path folder_;
    std::u16string deviceCardFolder_;
    shared::ErrorState errors_;
    shared::DismountedFolders noneDismounted_;
    shared::FolderFileSystem files_;
};

}  // namespace velkor::device_tool
