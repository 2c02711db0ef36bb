#pragma once

#include "contract/ContractSuite.h"
#include "platform/DeviceIo.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velkor::test {

// The contract's OS region: 1 MiB.
inline constexpr std::size_t kOsRegionBytes = 1024 * 1024;

// What a flash case may need: a flash driver. It goes by "\VKRFlash\Vol:" (the BinFLASH profile's
// folder is VKRFlash), its OS region is kOsRegionBytes long, and images are read from the folder
// \Card of its file system.
inline constexpr Arrangements kFlashDriver = 1;

// One implementation of the device's drivers.
class FlashRig {
public:
    virtual ~FlashRig() = default;

    // Why the rig cannot stand on this machine; empty when it stands.
    virtual std::string Unavailable() const { return {}; }
    virtual platform::DeviceIo& Devices() = 0;
    virtual std::uint32_t LastError() = 0;
    // Puts the file \Card\<name> with `bytes` on the device.
    virtual void PutImage(const std::string& name, const std::string& bytes) = 0;
    // The first `bytes` bytes the OS region holds (fewer where it holds fewer).
    virtual std::string OsRegion(std::size_t bytes) = 0;
};

// The fake (a device without drivers), the simulator, and the real device with its OS region a
// file and (as root) a loop device.
std::vector<RigMaker<FlashRig>> FlashRigs();

}  // namespace velkor::test
