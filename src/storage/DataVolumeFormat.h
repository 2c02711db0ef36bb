#pragma once

#include "platform/Platform.h"

namespace velkor::storage {

// Formats the flash data volume again with its own FAT parameters: the first store of the
// "binflash" profile, each of its partitions whose volume name starts with "\VKRFlash",
// dismounted, formatted as FAT12 and mounted again. The outcome goes to the debug output only.
void FormatDataVolume(platform::Platform& platform);

}  // namespace velkor::storage
