#include "backend/shared/TrustFields.h"

#include "platform/DeviceText.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace velkor::shared {
namespace {

using nlohmann::json;

struct ValidityName {
    std::string_view name;
    platform::ValidityRule rule;
};
constexpr std::array<ValidityName, 2> kValidityNames{{
    {"device-clock", platform::ValidityRule::DeviceClock},
    {"not-checked", platform::ValidityRule::NotChecked},
}};

std::string NonEmptyText(const ConfigReader& reader, const json& object, std::string_view field) {
    const std::string fieldPath = "trust." + std::string(field);
    return platform::ToUtf8(reader.String(reader.Required(object, field, fieldPath), fieldPath));
}

platform::ValidityRule ReadValidity(const ConfigReader& reader, const json& trust) {
    const json* value = ConfigReader::Optional(trust, "validity");
    if (!value) {
        return platform::ValidityRule::DeviceClock;
    }
    const auto known = std::find_if(kValidityNames.begin(), kValidityNames.end(), [&](const ValidityName& entry) {
        return value->is_string() && value->get<std::string>() == entry.name;
    });
    if (known == kValidityNames.end()) {
        reader.Fail("trust.validity", "\"device-clock\" or \"not-checked\"");
    }
    return known->rule;
}

}  // namespace

std::optional<TrustFields> ReadTrustFields(const ConfigReader& reader, const json& document) {
    const json* trust = ConfigReader::Optional(document, "trust");
    if (!trust) {
        return std::nullopt;
    }
    reader.Container(*trust, "trust", false, "an object with \"keyring\" and \"compatible\"");
    return TrustFields{NonEmptyText(reader, *trust, "keyring"), NonEmptyText(reader, *trust, "compatible"),
                       ReadValidity(reader, *trust)};
}

}  // namespace velkor::shared
