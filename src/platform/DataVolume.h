#pragma once

#include <string_view>

namespace velkor::platform {

// The data volume: the flash store's partition, mounted at this folder. The update formats it
// and keeps the second logo and a start-up log in the storage manager's folder on it.
inline constexpr std::u16string_view kDataVolume = u"\\VKRFlash";
// The storage manager's own folder on each volume it mounts.
inline constexpr std::u16string_view kStoreFolderName = u"$MSD$";

}  // namespace velkor::platform
