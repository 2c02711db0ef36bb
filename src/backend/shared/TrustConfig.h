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
    std::filesystem::path installedRecord;
};

}  // namespace velkor::shared
