#pragma once

#include <string>
#include <vector>

namespace velkor::sim {

// The fault switches of device.json for the storage manager, its volumes and the format library.
// Names in the lists compare without regard to case.
struct StorageFaults {
    std::vector<std::u16string> storeOpenFails;        // device names of stores that do not open
    std::vector<std::u16string> partitionSearchFails;  // device names of stores whose partitions cannot be listed
    std::vector<std::u16string> partitionOpenFails;    // device names of stores whose partitions do not open
    std::vector<std::u16string> volumeDeviceAbsent;    // volume names whose "\Vol:" device does not open
    bool volumeParametersShort = false;                // the volume parameters reply is a byte short
    bool freeSpaceShort = false;                       // the free-space reply is a byte short
    bool diskInfoFails = false;                        // partitions refuse DISK_IOCTL_GETINFO
    bool dismountFails = false;                        // partitions refuse to dismount
    bool formatLibraryMissing = false;                 // FATUTIL.dll does not load
    bool formatEntryMissing = false;                   // the library has no FormatVolume
    bool formatFails = false;                          // FormatVolume fails and changes nothing
};

}  // namespace velkor::sim
