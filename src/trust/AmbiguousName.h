#pragma once

#include "platform/FileSystem.h"

#include <optional>
#include <string>
#include <string_view>

namespace velkor::trust {

// The first name on `devicePath` that more than one entry of its folder matches without regard to
// case (the one rule of platform::EqualsIgnoreCase): "\StorageCard\AutoUpdate\logo2.bmp" beside
// "LOGO2.BMP". Such a path could reach one file when checked and another when written, so a card
// naming one is refused. Nothing when every name matches at most one entry.
std::optional<std::u16string> AmbiguousName(platform::FileSystem& fileSystem, std::u16string_view devicePath);

}  // namespace velkor::trust
