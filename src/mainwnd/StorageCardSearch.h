#pragma once

#include "platform/FileSystem.h"
#include "platform/Registry.h"

#include <string>

namespace velkor::mainwnd {

// Where the storage manager describes its storage devices, under HKEY_LOCAL_MACHINE.
inline constexpr std::u16string_view kProfilesKey = u"System\\StorageManager\\Profiles\\";

// Profiles whose name contains "flash", in any letter case, describe the device's own stores.
bool IsFlashProfile(std::u16string_view profileName);

// Finds the storage card's root ("\StorageCard") from the storage-manager profiles: profiles
// whose name contains "flash" are the device's own stores and are skipped, a folder already
// seen is skipped, and a folder is tried as written and with the suffixes 1 to 4. The last
// profile that yields an existing folder wins. Empty when there is no card.
std::u16string FindStorageCard(platform::Registry& registry, platform::FileSystem& fileSystem);

}  // namespace velkor::mainwnd
