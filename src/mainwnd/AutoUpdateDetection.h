#pragma once

#include "platform/FileSystem.h"
#include "update/UpdateSettings.h"

#include <string_view>

namespace velkor::mainwnd {

// Marks the rows whose image of the fixed auto-update name lies in `folder` (which ends in a
// backslash): the row's flag is set and its path points at the image; a boot loader also
// enables Reset. Returns true when at least one image was found.
bool DetectAutoUpdate(platform::FileSystem& fileSystem, std::u16string_view folder,
                      update::UpdateSettings& settings);

}  // namespace velkor::mainwnd
