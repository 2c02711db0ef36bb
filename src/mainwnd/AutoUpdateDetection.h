#pragma once

#include "platform/FileSystem.h"
#include "update/UpdateSettings.h"

#include <optional>
#include <string_view>

namespace velkor::mainwnd {

// The folder of the storage card whose images update the device by themselves.
inline constexpr std::u16string_view kAutoUpdateFolder = u"AutoUpdate";

// Marks the rows whose image of the fixed auto-update name lies in `folder` (which ends in a
// backslash): the row's flag is set and its path points at the image; a boot loader also
// enables Reset. Returns true when at least one image was found.
bool DetectAutoUpdate(platform::FileSystem& fileSystem, std::u16string_view folder,
                      update::UpdateSettings& settings);

// The file name the detection looks for to fill the row; nothing for a row it has none for (Reset).
std::optional<std::u16string_view> AutoUpdateFileName(update::ImageKind kind);

}  // namespace velkor::mainwnd
