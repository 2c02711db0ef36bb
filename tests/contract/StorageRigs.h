#pragma once

#include "platform/FileSystem.h"
#include "platform/FormatLibrary.h"
#include "platform/StorageManager.h"

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace velkor::test {

// One implementation of the device's storage manager and format library, with the file system
// that shows the volumes. Where it has stores, it has one: DSK2: (profile BinFLASH) with the
// partition Part00, a FAT12 volume of about 8 MB mounted at \VKRFlash that holds old.txt.
class StorageRig {
public:
    virtual ~StorageRig() = default;

    // Why the rig cannot stand on this machine; empty when it stands.
    virtual std::string Unavailable() const { return {}; }
    virtual platform::StorageManager& Storage() = 0;
    virtual platform::FormatLibrary& Formats() = 0;
    virtual platform::FileSystem& Files() = 0;
    virtual std::uint32_t LastError() = 0;
    // False for a device without stores (and without a format library).
    virtual bool HasStore() const = 0;
};

struct StorageRigMaker {
    const char* name;
    // With `mountsNothing`, the mount command exits with 0 and mounts nothing: null where that
    // cannot be arranged.
    std::function<std::unique_ptr<StorageRig>(bool mountsNothing)> make;
};

// Failures name the implementation rather than dump its bytes.
inline void PrintTo(const StorageRigMaker& maker, std::ostream* out) { *out << maker.name; }

// The fake (no stores, no library), the simulator, and (as root) the real device on a loop
// device, its volume mounted through fusefat.
std::vector<StorageRigMaker> StorageRigs();

}  // namespace velkor::test
