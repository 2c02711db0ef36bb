#include "backend/shared/ConfigReader.h"

#include "backend/shared/DeviceError.h"
#include "backend/shared/HexOrDecimal.h"
#include "platform/DeviceText.h"

#include <fmt/format.h>

#include <limits>

namespace velkor::shared {

using nlohmann::json;

json ConfigReader::Document(std::string_view text) const {
    json document;
    try {
        document = json::parse(text);
    } catch (const json::parse_error& failure) {
        throw DeviceError(fmt::format("{}: not valid JSON (at byte {})", sourceName_, failure.byte));
    } catch (const json::out_of_range&) {
        throw DeviceError(fmt::format("{}: not valid JSON (a number too large to read)", sourceName_));
    }
    if (!document.is_object()) {
        throw DeviceError(fmt::format("{}: the document must be a JSON object", sourceName_));
    }
    return document;
}

const json& ConfigReader::Required(const json& object, std::string_view field, std::string_view fieldPath) const {
    const auto found = object.find(field);
    if (found == object.end()) {
        throw DeviceError(fmt::format("{}: \"{}\" is missing", sourceName_, fieldPath));
    }
    return *found;
}

const json* ConfigReader::Optional(const json& object, std::string_view field) {
    const auto found = object.find(field);
    return found != object.end() ? &*found : nullptr;
}

std::uint64_t ConfigReader::Unsigned(const json& value, std::string_view fieldPath, std::uint64_t max,
                                     std::string_view expected) const {
    if (!value.is_number_unsigned() || value.get<std::uint64_t>() > max) {
        Fail(fieldPath, expected);
    }
    return value.get<std::uint64_t>();
}

std::uint16_t ConfigReader::LanguageId(const json& value, std::string_view fieldPath) const {
    constexpr std::string_view kExpected = "a 16-bit language id: a number or a string such as \"0x0804\"";
    if (value.is_string()) {
        const std::optional<std::uint16_t> id = ParseLanguageId(value.get<std::string>());
        if (!id) {
            Fail(fieldPath, kExpected);
        }
        return *id;
    }
    return static_cast<std::uint16_t>(Unsigned(value, fieldPath, std::numeric_limits<std::uint16_t>::max(), kExpected));
}

bool ConfigReader::Boolean(const json& value, std::string_view fieldPath) const {
    if (!value.is_boolean()) {
        Fail(fieldPath, "true or false");
    }
    return value.get<bool>();
}

std::u16string ConfigReader::String(const json& value, std::string_view fieldPath) const {
    if (!value.is_string() || value.get<std::string>().empty()) {
        Fail(fieldPath, "a non-empty string");
    }
    return platform::FromUtf8(value.get<std::string>());
}

const json& ConfigReader::Container(const json& value, std::string_view fieldPath, bool isArray,
                                    std::string_view expected) const {
    if (isArray ? !value.is_array() : !value.is_object()) {
        Fail(fieldPath, expected);
    }
    return value;
}

std::optional<std::u16string> ConfigReader::StringItem(const json& item) {
    return item.is_string() ? std::optional(platform::FromUtf8(item.get<std::string>())) : std::nullopt;
}

void ConfigReader::Fail(std::string_view fieldPath, std::string_view expected) const {
    throw DeviceError(fmt::format("{}: \"{}\" must be {}", sourceName_, fieldPath, expected));
}

}  // namespace velkor::shared
