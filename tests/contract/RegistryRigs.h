#pragma once

#include "platform/Registry.h"

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace velkor::test {

// One implementation of the device's registry, holding the contract's keys: the storage-manager
// profiles SDMemory ("Folder"="StorageCard", "Name"="SD Memory Card"), BinFLASH ("Folder"="VKRFlash")
// and USBHD ("Folder"="Hard Disk"), in that order, and Locked\Inner.
class RegistryRig {
public:
    virtual ~RegistryRig() = default;

    virtual platform::Registry& Registry() = 0;
    virtual std::uint32_t LastError() = 0;
};

struct RegistryRigMaker {
    const char* name;
    // With `lockedRefused`, the key Locked refuses to open: null where that cannot be arranged.
    std::function<std::unique_ptr<RegistryRig>(bool lockedRefused)> make;
};

// Failures name the implementation rather than dump its bytes.
inline void PrintTo(const RegistryRigMaker& maker, std::ostream* out) { *out << maker.name; }

// The fake, the simulator (platform.reg) and the real device (the target file's registry).
std::vector<RegistryRigMaker> RegistryRigs();

}  // namespace velkor::test
