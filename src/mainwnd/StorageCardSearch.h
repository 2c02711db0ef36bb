#pragma once

#include "platform/FileSystem.h"
#include "platform/Registry.h"

#include <string>

namespace velkor::mainwnd {

// Finds the storage card's root ("\StorageCard") among the removable stores of the
// storage-manager profiles: the last profile whose folder is mounted, under its own name or with
// a suffix, wins, and its first mounted name is the root. Empty when there is no card.
std::u16string FindStorageCard(platform::Registry& registry, platform::FileSystem& fileSystem);

}  // namespace velkor::mainwnd
