#pragma once

#include "platform/FileSystem.h"
#include "platform/Registry.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::platform {

// Where the storage manager describes its storage devices, under HKEY_LOCAL_MACHINE.
inline constexpr std::u16string_view kProfilesKey = u"System\\StorageManager\\Profiles\\";
// The profile of the device's flash store, whose "Folder" names the flash driver's device.
inline constexpr std::u16string_view kFlashStoreProfile = u"BinFLASH";

// Profiles whose name contains "flash", in any letter case, describe the device's own stores.
bool IsFlashProfile(std::u16string_view profileName);

// The "Folder" values of the storage-manager profiles that describe removable stores, in the
// order the profiles enumerate. The flash profiles are skipped; a folder already met, in any
// letter case, and an empty or unreadable one are skipped too. Nothing when the profiles key
// cannot be opened.
std::optional<std::vector<std::u16string>> RemovableStoreFolders(Registry& registry);

// Where a store folder is mounted: of "folder" and "folder1" to "folder4", those that exist, in
// that order, as names below the root (without a leading backslash). A second card of the same
// kind mounts with a suffix.
std::vector<std::u16string> MountedStoreFolders(FileSystem& fileSystem, std::u16string_view folder);

}  // namespace velkor::platform
