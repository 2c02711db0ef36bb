#pragma once

#include "contract/ContractSuite.h"
#include "platform/Registry.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velkor::test {

// What a registry case may need: the key Locked refuses to open.
inline constexpr Arrangements kRefusedKey = 1;

// One implementation of the device's registry, holding the contract's keys: the storage-manager
// profiles SDMemory ("Folder"="StorageCard", "Name"="SD Memory Card"), BinFLASH ("Folder"="VKRFlash")
// and USBHD ("Folder"="Hard Disk"), in that order, and Locked\Inner.
class RegistryRig {
public:
    virtual ~RegistryRig() = default;

    virtual platform::Registry& Registry() = 0;
    virtual std::uint32_t LastError() = 0;
};

// The fake, the simulator (platform.reg) and the real device (the target file's registry).
std::vector<RigMaker<RegistryRig>> RegistryRigs();

}  // namespace velkor::test
