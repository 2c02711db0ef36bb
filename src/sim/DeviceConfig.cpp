#include "sim/DeviceConfig.h"

#include "platform/DeviceText.h"
#include "platform/FileSystem.h"
#include "sim/AttributeRules.h"
#include "sim/ConfigReader.h"
#include "sim/DeviceError.h"
#include "sim/PathResolver.h"
#include "sim/storage/StorageConfigReader.h"
#include "sim/windows/ProgramsReader.h"

#include <fmt/format.h>
#include <fmt/ranges.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>

namespace velkor::sim {
namespace {

using nlohmann::json;

constexpr std::string_view kHexPrefixes[] = {"0x", "0X"};

// The attribute bits that "fileAttributes" sets, and those it may name only for readability
// because the host file decides them.
constexpr std::uint32_t kConfiguredAttributes = platform::kFileAttributeHidden | platform::kFileAttributeSystem;
constexpr std::uint32_t kHostAttributes = platform::kFileAttributeDirectory | platform::kFileAttributeArchive;

struct ScreenSide {
    const char* field;
    int platform::ScreenSize::*member;
};
constexpr std::array<ScreenSide, 2> kScreenSides{{
    {"width", &platform::ScreenSize::width},
    {"height", &platform::ScreenSize::height},
}};

struct AbsenceName {
    std::string_view name;
    FlashDeviceAbsence absence;
};
constexpr std::array<AbsenceName, 2> kAbsenceNames{{
    {"primary", FlashDeviceAbsence::Primary},
    {"both", FlashDeviceAbsence::Both},
}};

bool IsScreenSide(std::int64_t pixels) { return pixels >= 1 && pixels <= kMaxScreenSide; }

// A number written as hex ("0x0804") or decimal ("2052"); nothing unless it fits `Unsigned`.
template <typename Unsigned>
std::optional<Unsigned> ParseHexOrDecimal(std::string_view text) {
    const bool hex = std::any_of(std::begin(kHexPrefixes), std::end(kHexPrefixes),
                                 [&](std::string_view prefix) { return text.starts_with(prefix); });
    if (hex) {
        text.remove_prefix(kHexPrefixes[0].size());
    }
    const int base = hex ? 16 : 10;
    Unsigned number = 0;
    const char* end = text.data() + text.size();
    const auto [stop, failure] = std::from_chars(text.data(), end, number, base);
    if (text.empty() || failure != std::errc() || stop != end) {
        return std::nullopt;
    }
    return number;
}

platform::ScreenSize ReadScreen(const ConfigReader& reader, const json& document) {
    const json& screen = reader.Container(reader.Required(document, "screen", "screen"), "screen", false,
                                          "an object with \"width\" and \"height\"");
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

// A 32-bit number, or a string of one in hex ("0x800020DC") or decimal.
std::optional<std::uint32_t> ReadNumber32(const json& item) {
    if (item.is_string()) {
        return ParseHexOrDecimal<std::uint32_t>(item.get<std::string>());
    }
    if (item.is_number_unsigned() && item.get<std::uint64_t>() <= std::numeric_limits<std::uint32_t>::max()) {
        return item.get<std::uint32_t>();
    }
    return std::nullopt;
}

std::optional<FlashRegion> ReadRegionName(const json& item) {
    const FlashRegionInfo* info = item.is_string() ? FindRegionByName(item.get<std::string>()) : nullptr;
    return info ? std::optional(info->region) : std::nullopt;
}

// "\"boot\", \"logo\", ...".
std::string RegionNames() {
    std::vector<std::string_view> names;
    for (const FlashRegionInfo& info : kFlashRegions) {
        names.push_back(info.name);
    }
    return fmt::format("\"{}\"", fmt::join(names, "\", \""));
}

FlashDeviceAbsence ReadFlashDeviceAbsent(const ConfigReader& reader, const json& faults) {
    const json* value = ConfigReader::Optional(faults, "flashDeviceAbsent");
    if (!value) {
        return FlashDeviceAbsence::None;
    }
    const auto absence = std::find_if(kAbsenceNames.begin(), kAbsenceNames.end(), [&](const AbsenceName& known) {
        return value->is_string() && value->get<std::string>() == known.name;
    });
    if (absence == kAbsenceNames.end()) {
        reader.Fail("faults.flashDeviceAbsent", "\"primary\" or \"both\"");
    }
    return absence->absence;
}

void ReadFlashFaults(const ConfigReader& reader, const json& faults, FaultSwitches& switches) {
    switches.flashDeviceAbsent = ReadFlashDeviceAbsent(reader, faults);
    switches.flashRefusedCodes =
        reader.List(faults, "faults.flashRefusedCodes", "flashRefusedCodes",
                    "a list of control codes: numbers or strings such as \"0x800020DC\"", ReadNumber32);
    switches.flashRegionTooSmall =
        reader.List(faults, "faults.flashRegionTooSmall", "flashRegionTooSmall",
                    "a list of region names: " + RegionNames(), ReadRegionName);
    if (const json* differs = ConfigReader::Optional(faults, "flashReadBackDiffers")) {
        switches.flashReadBackDiffers = reader.Boolean(*differs, "faults.flashReadBackDiffers");
    }
}

void ReadSystemFaults(const ConfigReader& reader, const json& faults, FaultSwitches& switches) {
    if (const json* fails = ConfigReader::Optional(faults, "restartFails")) {
        switches.restartFails = reader.Boolean(*fails, "faults.restartFails");
    }
    switches.terminateFails = reader.List(faults, "faults.terminateFails", "terminateFails",
                                          "a list of process ids and executables", ReadProgramSelector);
    switches.processOpenFails = reader.List(faults, "faults.processOpenFails", "processOpenFails",
                                            "a list of process ids and executables", ReadProgramSelector);
    switches.registryOpenFails = reader.List(faults, "faults.registryOpenFails", "registryOpenFails",
                                             "a list of registry keys (strings)", ConfigReader::StringItem);
}

FaultSwitches ReadFaults(const ConfigReader& reader, const json& document) {
    FaultSwitches switches;
    const json* faults = ConfigReader::Optional(document, "faults");
    if (!faults) {
        return switches;
    }
    reader.Container(*faults, "faults", false, "an object");
    switches.writeProtected = reader.List(*faults, "faults.writeProtected", "writeProtected",
                                          "a list of device folders (strings)", ConfigReader::StringItem);
    switches.openFails = reader.List(*faults, "faults.openFails", "openFails", "a list of device files (strings)",
                                     ConfigReader::StringItem);
    if (const json* fails = ConfigReader::Optional(*faults, "moveFails")) {
        switches.moveFails = reader.Boolean(*fails, "faults.moveFails");
    }
    if (const json* limit = ConfigReader::Optional(*faults, "fileSizeLimit")) {
        switches.fileSizeLimit = reader.Unsigned(*limit, "faults.fileSizeLimit",
                                                 std::numeric_limits<std::uint64_t>::max(), "a number of bytes");
    }
    ReadFlashFaults(reader, *faults, switches);
    ReadSystemFaults(reader, *faults, switches);
    switches.storage = ReadStorageFaults(reader, *faults);
    return switches;
}

FlashRegionSizes ReadFlashRegions(const ConfigReader& reader, const json& document) {
    FlashRegionSizes sizes;
    const json* regions = ConfigReader::Optional(document, "flashRegions");
    if (!regions) {
        return sizes;
    }
    reader.Container(*regions, "flashRegions", false, "an object of region sizes in bytes");
    for (const FlashRegionInfo& info : kFlashRegions) {
        if (const json* bytes = ConfigReader::Optional(*regions, info.name)) {
            const std::string fieldPath = fmt::format("flashRegions.{}", info.name);
            constexpr std::string_view kExpected = "a number of bytes from 1";
            sizes[info.region] =
                reader.Unsigned(*bytes, fieldPath, std::numeric_limits<std::uint64_t>::max(), kExpected);
            if (sizes[info.region] == 0) {
                reader.Fail(fieldPath, kExpected);
            }
        }
    }
    return sizes;
}

// The key of a "fileAttributes" path; nothing unless it names an entry below the root.
std::optional<std::u16string> FileAttributeKey(std::string_view path) {
    const std::vector<std::u16string> components = PathResolver::SplitComponents(platform::FromUtf8(path));
    if (components.empty() || !std::all_of(components.begin(), components.end(), PathResolver::IsAcceptableName)) {
        return std::nullopt;
    }
    return AttributeRules::Key(components);
}

FileAttributeMap ReadFileAttributes(const ConfigReader& reader, const json& document) {
    constexpr std::string_view kPathExpected =
        "named by a device path below the root, without \"..\", :*?\"<>| or control characters";
    constexpr std::string_view kBitsExpected =
        "a number or a string such as \"0x16\" of the bits hidden (0x02) and system (0x04), with directory (0x10) "
        "and archive (0x20) allowed";
    FileAttributeMap attributes;
    const json* paths = ConfigReader::Optional(document, "fileAttributes");
    if (!paths) {
        return attributes;
    }
    reader.Container(*paths, "fileAttributes", false, "an object of device paths and attribute bits");
    for (const auto& [path, value] : paths->items()) {
        const std::string fieldPath = fmt::format("fileAttributes[{}]", path);
        const std::optional<std::u16string> key = FileAttributeKey(path);
        if (!key) {
            reader.Fail(fieldPath, kPathExpected);
        }
        const std::optional<std::uint32_t> bits = ReadNumber32(value);
        if (!bits || (*bits & ~(kConfiguredAttributes | kHostAttributes)) != 0) {
            reader.Fail(fieldPath, kBitsExpected);
        }
        if (!attributes.emplace(*key, *bits & kConfiguredAttributes).second) {
            reader.Fail(fieldPath, "a path that no other key names in any letter case");
        }
    }
    return attributes;
}

}  // namespace

DeviceConfig ParseDeviceConfig(std::string_view jsonText, std::string_view sourceName) {
    const ConfigReader reader(sourceName);
    const json document = reader.Document(jsonText);
    DeviceConfig config;
    config.screen = ReadScreen(reader, document);
    config.languageId = ReadLanguageId(reader, document);
    config.flashRegions = ReadFlashRegions(reader, document);
    config.programs = ReadPrograms(reader, document);
    config.stores = ReadStores(reader, document);
    config.fileAttributes = ReadFileAttributes(reader, document);
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

std::optional<std::uint16_t> ParseLanguageId(std::string_view text) { return ParseHexOrDecimal<std::uint16_t>(text); }

std::string LanguageIdText(std::uint16_t languageId) { return fmt::format("0x{:04X}", languageId); }

}  // namespace velkor::sim
