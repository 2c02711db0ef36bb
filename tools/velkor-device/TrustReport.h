#pragma once

#include "platform/DeviceTrust.h"

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace velkor::device_tool {

// Where a device keeps what it trusts, as a report names it.
struct TrustPlaces {
    // The keyring's file.
    std::string keyring;
    // Where the installed release is recorded: "the boot environment", or the record's file.
    std::string record;
};

// The device's trust configuration at a glance: the device family and validity rule, the keyring
// with its certificates and CRLs, and the installed release. Answers what would make the device
// refuse every card that writes an image: a keyring or a record that cannot be read.
std::vector<std::string> PrintTrust(std::ostream& out, platform::DeviceTrust& trust,
                                    const std::function<std::uint32_t()>& lastError, const TrustPlaces& places);

}  // namespace velkor::device_tool
