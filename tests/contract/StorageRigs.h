#pragma once

#include "contract/ContractSuite.h"
#include "platform/FileSystem.h"
#include "platform/FormatLibrary.h"
#include "platform/StorageManager.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velkor::test {

// What a storage case may need: a store, DSK2: (profile BinFLASH) with the partition Part00, a
// FAT12 volume of about 8 MB mounted at \VKRFlash that holds old.txt, and a format library; a
// mount command that exits with 0 and mounts nothing.
inline constexpr Arrangements kStore = 1;
inline constexpr Arrangements kMountThatDoesNothing = 2;

// One implementation of the device's storage manager and format library, with the file system
// that shows the volumes.
class StorageRig {
public:
    virtual ~StorageRig() = default;

    // Why the rig cannot stand on this machine; empty when it stands.
    virtual std::string Unavailable() const { return {}; }
    virtual platform::StorageManager& Storage() = 0;
    virtual platform::FormatLibrary& Formats() = 0;
    virtual platform::FileSystem& Files() = 0;
    virtual std::uint32_t LastError() = 0;
};

// The fake (no stores, no library), the simulator, and (as root) the real device on a loop
// device, its volume mounted through fusefat.
std::vector<RigMaker<StorageRig>> StorageRigs();

}  // namespace velkor::test
