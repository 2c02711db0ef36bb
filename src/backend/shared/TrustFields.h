#pragma once

#include "backend/shared/ConfigReader.h"
#include "platform/DeviceTrust.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

namespace velkor::shared {

// The "trust" object of device.json or of a target file, as written: its "keyring" (a name or a
// path, which each backend places its own way), "compatible", and "validity" ("device-clock", the
// default, or "not-checked").
struct TrustFields {
    std::string keyring;
    std::string compatible;
    platform::ValidityRule validity = platform::ValidityRule::DeviceClock;
};

// Nothing when the document has no "trust" object; a device without one trusts any card.
std::optional<TrustFields> ReadTrustFields(const ConfigReader& reader, const nlohmann::json& document);

}  // namespace velkor::shared
