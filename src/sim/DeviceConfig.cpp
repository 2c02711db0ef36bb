#include "sim/DeviceConfig.h"

#include "platform/DeviceText.h"
#include "sim/DeviceError.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>

namespace velkor::sim {
namespace {

using nlohmann::json;

constexpr std::string_view kHexPrefixes[] = {"0x", "0X"};

struct ScreenSide {
    const char* field;
    int platform::ScreenSize::*member;
};
constexpr std::array<ScreenSide, 2> kScreenSides{{
    {"width", &platform::ScreenSize::width},
    {"height", &platform::ScreenSize::height},
}};

bool IsScreenSide(std::int64_t pixels) { return pixels >= 1 && pixels <= kMaxScreenSide; }

// Reads the fields of one device.json and names the file and field in every complaint.
class ConfigReader {
public:
    explicit ConfigReader(std::string_view sourceName) : sourceName_(sourceName) {}

    json Document(std::string_view text) const {
        json document;
        try {
            document = json::parse(text);
        } catch (const json::parse_error& failure) {
            throw DeviceError(fmt::format("{}: not valid JSON (at byte {})", sourceName_, failure.byte));
        }
        if (!document.is_object()) {
            throw DeviceError(fmt::format("{}: the document must be a JSON object", sourceName_));
        }
        return document;
    }

    const json& Required(const json& object, const char* field, std::string_view fieldPath) const {
        const auto found = object.find(field);
        if (found == object.end()) {
            throw DeviceError(fmt::format("{}: \"{}\" is missing", sourceName_, fieldPath));
        }
        return *found;
    }

    // A non-negative integer no larger than `max`.
    std::uint64_t Unsigned(const json& value, std::string_view fieldPath, std::uint64_t max,
                           std::string_view expected) const {
        if (!value.is_number_unsigned() || value.get<std::uint64_t>() > max) {
            Fail(fieldPath, expected);
        }
        return value.get<std::uint64_t>();
    }

    [[noreturn]] void Fail(std::string_view fieldPath, std::string_view expected) const {
        throw DeviceError(fmt::format("{}: \"{}\" must be {}", sourceName_, fieldPath, expected));
    }

private:
    std::string_view sourceName_;
};

platform::ScreenSize ReadScreen(const ConfigReader& reader, const json& document) {
    const json& screen = reader.Required(document, "screen", "screen");
    if (!screen.is_object()) {
        reader.Fail("screen", "an object with \"width\" and \"height\"");
    }
    platform::ScreenSize size;
    for (const ScreenSide& side : kScreenSides) {
        const std::string fieldPath = fmt::format("screen.{}", side.field);
        const std::string expected = fmt::format("an integer from 1 to {}", kMaxScreenSide);
        const std::uint64_t pixels =
            reader.Unsigned(reader.Required(screen, side.field, fieldPath), fieldPath, kMaxScreenSide, expected);
        if (!IsScreenSide(pixels)) {
            reader.Fail(fieldPath, expected);
        }
        size.*side.member = static_cast<int>(pixels);
    }
    return size;
}

std::uint16_t ReadLanguageId(const ConfigReader& reader, const json& document) {
    constexpr std::string_view kExpected = "a 16-bit language id: a number or a string such as \"0x0804\"";
    const json& value = reader.Required(document, "languageId", "languageId");
    if (value.is_string()) {
        const std::optional<std::uint16_t> id = ParseLanguageId(value.get<std::string>());
        if (!id) {
            reader.Fail("languageId", kExpected);
        }
        return *id;
    }
    return static_cast<std::uint16_t>(
        reader.Unsigned(value, "languageId", std::numeric_limits<std::uint16_t>::max(), kExpected));
}

std::vector<std::u16string> ReadWriteProtected(const ConfigReader& reader, const json& faults) {
    std::vector<std::u16string> folders;
    const auto found = faults.find("writeProtected");
    if (found == faults.end()) {
        return folders;
    }
    if (!found->is_array()) {
        reader.Fail("faults.writeProtected", "a list of device folders");
    }
    for (const json& folder : *found) {
        if (!folder.is_string()) {
            reader.Fail("faults.writeProtected", "a list of device folders (strings)");
        }
        folders.push_back(platform::FromUtf8(folder.get<std::string>()));
    }
    return folders;
}

FaultSwitches ReadFaults(const ConfigReader& reader, const json& document) {
    FaultSwitches switches;
    const auto faults = document.find("faults");
    if (faults == document.end()) {
        return switches;
    }
    if (!faults->is_object()) {
        reader.Fail("faults", "an object");
    }
    switches.writeProtected = ReadWriteProtected(reader, *faults);
    const auto limit = faults->find("fileSizeLimit");
    if (limit != faults->end()) {
        switches.fileSizeLimit = reader.Unsigned(*limit, "faults.fileSizeLimit",
                                                 std::numeric_limits<std::uint64_t>::max(), "a number of bytes");
    }
    return switches;
}

}  // namespace

DeviceConfig ParseDeviceConfig(std::string_view jsonText, std::string_view sourceName) {
    const ConfigReader reader(sourceName);
    const json document = reader.Document(jsonText);
    DeviceConfig config;
    config.screen = ReadScreen(reader, document);
    config.languageId = ReadLanguageId(reader, document);
    config.faults = ReadFaults(reader, document);
    return config;
}

void CheckScreenSize(platform::ScreenSize screen) {
    for (const ScreenSide& side : kScreenSides) {
        const int pixels = screen.*side.member;
        if (!IsScreenSide(pixels)) {
            throw DeviceError(fmt::format("screen {} {} is out of range: it must be from 1 to {}", side.field, pixels,
                                          kMaxScreenSide));
        }
    }
}

std::optional<std::uint16_t> ParseLanguageId(std::string_view text) {
    const bool hex = std::any_of(std::begin(kHexPrefixes), std::end(kHexPrefixes),
                                 [&](std::string_view prefix) { return text.starts_with(prefix); });
    if (hex) {
        text.remove_prefix(kHexPrefixes[0].size());
    }
    const int base = hex ? 16 : 10;
    std::uint16_t id = 0;
    const char* end = text.data() + text.size();
    const auto [stop, failure] = std::from_chars(text.data(), end, id, base);
    if (text.empty() || failure != std::errc() || stop != end) {
        return std::nullopt;
    }
    return id;
}

std::string LanguageIdText(std::uint16_t languageId) { return fmt::format("0x{:04X}", languageId); }

}  // namespace velkor::sim
