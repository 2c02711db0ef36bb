#pragma once

#include "platform/Platform.h"
#include "storage/FatVolumeInfo.h"

namespace velkor::storage {

// Reads the FAT parameters and cluster counts of a partition from its volume device
// ("<volume name>\Vol:"). 1 on success; 0 when the device does not open or a reply is not
// complete, and `info` is then not to be used.
int GetFatInfo(platform::Platform& platform, FatVolumeInfo& info, const platform::PartitionInfo& partition);

}  // namespace velkor::storage
