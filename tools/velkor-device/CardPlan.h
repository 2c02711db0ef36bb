#pragma once

#include "velkor-device/CommandLine.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::device_tool {

// One image of the card: where it comes from and the name it gets on the card.
struct CardFile {
    update::ImageKind kind;
    // As the engineer named it.
    std::filesystem::path source;
    std::u16string name;
};

// What a card holds: the images, in the order an update writes them, in the card folder of the
// layout, and for a hand-picked update the settings that pick them.
class CardPlan {
public:
    // For a device whose storage card appears at `cardFolder` ("\StorageCard").
    CardPlan(const CardRequest& request, std::u16string cardFolder);

    CardLayout Layout() const { return layout_; }
    const std::vector<CardFile>& Files() const { return files_; }
    // False for a file (one of Files()) whose name an earlier file has, in any letter case: the
    // card holds that name once, and its one file serves both rows.
    bool IsFirstOfItsName(const CardFile& file) const;

    const std::u16string& CardFolder() const { return cardFolder_; }
    // Where the device finds the file: "\StorageCard\AutoUpdate\NK.bin".
    std::u16string DevicePath(const CardFile& file) const;
    // The card's folder of images, and a file in it, below the card's root on the host.
    std::filesystem::path HostFolder() const;
    std::filesystem::path HostPath(const CardFile& file) const;
    // Each file's row ticked with the file's device path. A boot loader ticks Reset too, as the
    // auto-update detection does and as the Boot box does on the device.
    update::UpdateSettings Settings() const;

private:
    CardLayout layout_;
    std::u16string cardFolder_;
    std::vector<CardFile> files_;
};

}  // namespace velkor::device_tool
