#pragma once

#include "platform/DeviceTrust.h"

#include <filesystem>
#include <string>

namespace velkor::shared {

// A device's trust configuration as its backend found it: where the keyring and the record of the
// installed release are on the host, the device family, and the validity rule.
struct TrustConfig {
    std::filesystem::path keyring;
    std::string compatible;
    platform::ValidityRule validity = platform::ValidityRule::DeviceClock;
    // Empty on a device with two-slot regions, whose boot environment holds the release.
    std::filesystem::path installedRecord;
};

}  // namespace velkor::shared
