#include "backend/sim/DeviceConfig.h"

#include "backend/shared/AttributeRules.h"
#include "backend/shared/ConfigReader.h"
#include "backend/shared/DeviceError.h"
#include "backend/shared/HexOrDecimal.h"
#include "backend/shared/PathResolver.h"
#include "backend/shared/slots/EnvironmentCopy.h"
#include "platform/DeviceText.h"
#include "platform/FileSystem.h"
#include "backend/sim/storage/StorageConfigReader.h"
#include "backend/sim/windows/ProgramsReader.h"

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

platform::ScreenSize ReadScreen(const shared::ConfigReader& reader, const json& document) {
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

// A 32-bit number, or a string of one in hex ("0x800020DC") or decimal.
std::optional<std::uint32_t> ReadNumber32(const json& item) {
    if (item.is_string()) {
        return shared::ParseHexOrDecimal<std::uint32_t>(item.get<std::string>());
    }
    if (item.is_number_unsigned() && item.get<std::uint64_t>() <= std::numeric_limits<std::uint32_t>::max()) {
        return item.get<std::uint32_t>();
    }
    return std::nullopt;
}

std::optional<shared::FlashRegion> ReadRegionName(const json& item) {
    const shared::FlashRegionInfo* info = item.is_string() ? shared::FindRegionByName(item.get<std::string>()) : nullptr;
    return info ? std::optional(info->region) : std::nullopt;
}

// "\"boot\", \"logo\", ...".
std::string RegionNames() {
    std::vector<std::string_view> names;
    for (const shared::FlashRegionInfo& info : shared::kFlashRegions) {
        names.push_back(info.name);
    }
    return fmt::format("\"{}\"", fmt::join(names, "\", \""));
}

FlashDeviceAbsence ReadFlashDeviceAbsent(const shared::ConfigReader& reader, const json& faults) {
    const json* value = shared::ConfigReader::Optional(faults, "flashDeviceAbsent");
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

void ReadFlashFaults(const shared::ConfigReader& reader, const json& faults, FaultSwitches& switches) {
    switches.flashDeviceAbsent = ReadFlashDeviceAbsent(reader, faults);
    switches.flashRefusedCodes =
        reader.List(faults, "faults.flashRefusedCodes", "flashRefusedCodes",
                    "a list of control codes: numbers or strings such as \"0x800020DC\"", ReadNumber32);
    switches.flashRegionTooSmall =
        reader.List(faults, "faults.flashRegionTooSmall", "flashRegionTooSmall",
                    "a list of region names: " + RegionNames(), ReadRegionName);
    if (const json* differs = shared::ConfigReader::Optional(faults, "flashReadBackDiffers")) {
        switches.flashReadBackDiffers = reader.Boolean(*differs, "faults.flashReadBackDiffers");
    }
    if (const json* cut = shared::ConfigReader::Optional(faults, "powerCutAfterBytes")) {
        switches.powerCutAfterBytes = reader.Unsigned(*cut, "faults.powerCutAfterBytes",
                                                      std::numeric_limits<std::uint64_t>::max(), "a number of bytes");
    }
}

void ReadSystemFaults(const shared::ConfigReader& reader, const json& faults, FaultSwitches& switches) {
    if (const json* fails = shared::ConfigReader::Optional(faults, "restartFails")) {
        switches.restartFails = reader.Boolean(*fails, "faults.restartFails");
    }
    switches.terminateFails = reader.List(faults, "faults.terminateFails", "terminateFails",
                                          "a list of process ids and executables", ReadProgramSelector);
    switches.processOpenFails = reader.List(faults, "faults.processOpenFails", "processOpenFails",
                                            "a list of process ids and executables", ReadProgramSelector);
    switches.registryOpenFails = reader.List(faults, "faults.registryOpenFails", "registryOpenFails",
                                             "a list of registry keys (strings)", shared::ConfigReader::StringItem);
}

FaultSwitches ReadFaults(const shared::ConfigReader& reader, const json& document) {
    FaultSwitches switches;
    const json* faults = shared::ConfigReader::Optional(document, "faults");
    if (!faults) {
        return switches;
    }
    reader.Container(*faults, "faults", false, "an object");
    switches.writeProtected = reader.List(*faults, "faults.writeProtected", "writeProtected",
                                          "a list of device folders (strings)", shared::ConfigReader::StringItem);
    switches.openFails = reader.List(*faults, "faults.openFails", "openFails", "a list of device files (strings)",
                                     shared::ConfigReader::StringItem);
    switches.cardImagesChangedAfterCheck =
        reader.List(*faults, "faults.cardImagesChangedAfterCheck", "cardImagesChangedAfterCheck",
                    "a list of device files (strings)", shared::ConfigReader::StringItem);
    if (const json* fails = shared::ConfigReader::Optional(*faults, "moveFails")) {
        switches.moveFails = reader.Boolean(*fails, "faults.moveFails");
    }
    if (const json* limit = shared::ConfigReader::Optional(*faults, "fileSizeLimit")) {
        switches.fileSizeLimit = reader.Unsigned(*limit, "faults.fileSizeLimit",
                                                 std::numeric_limits<std::uint64_t>::max(), "a number of bytes");
    }
    ReadFlashFaults(reader, *faults, switches);
    ReadSystemFaults(reader, *faults, switches);
    switches.storage = ReadStorageFaults(reader, *faults);
    return switches;
}

std::uint64_t ReadRegionBytes(const shared::ConfigReader& reader, const json& bytes, std::string_view fieldPath) {
    constexpr std::string_view kExpected = "a number of bytes from 1";
    const std::uint64_t size = reader.Unsigned(bytes, fieldPath, std::numeric_limits<std::uint64_t>::max(), kExpected);
    if (size == 0) {
        reader.Fail(fieldPath, kExpected);
    }
    return size;
}

// {"slots": [N, N]}: two slots of one size.
std::uint64_t ReadSlotSizes(const shared::ConfigReader& reader, const json& region, const std::string& fieldPath) {
    const std::string slotsPath = fieldPath + ".slots";
    const json& sizes = reader.Container(reader.Required(region, "slots", slotsPath), slotsPath, true,
                                        "a list of the two slots' sizes in bytes");
    if (sizes.size() != 2) {
        reader.Fail(slotsPath, "a list of the two slots' sizes in bytes");
    }
    const std::uint64_t first = ReadRegionBytes(reader, sizes[0], slotsPath);
    if (ReadRegionBytes(reader, sizes[1], slotsPath) != first) {
        reader.Fail(slotsPath, "two slots of the same size: an image written into one must fit the other");
    }
    return first;
}

void ReadFlashRegions(const shared::ConfigReader& reader, const json& document, DeviceConfig& config) {
    const json* regions = shared::ConfigReader::Optional(document, "flashRegions");
    if (!regions) {
        return;
    }
    reader.Container(*regions, "flashRegions", false, "an object of region sizes in bytes");
    for (const shared::FlashRegionInfo& info : shared::kFlashRegions) {
        const json* region = shared::ConfigReader::Optional(*regions, info.name);
        if (!region) {
            continue;
        }
        const std::string fieldPath = fmt::format("flashRegions.{}", info.name);
        if (region->is_null()) {
            config.flashRegions[info.region] = 0;  // a region the device does not have
            continue;
        }
        if (!region->is_object()) {
            config.flashRegions[info.region] = ReadRegionBytes(reader, *region, fieldPath);
            continue;
        }
        if (!info.mayHaveTwoSlots) {
            reader.Fail(fieldPath, fmt::format("a number of bytes: the {} region is always written in place, and only "
                                               "{} may have two slots",
                                               info.name, shared::TwoSlotRegionNames()));
        }
        config.slotGroup.Add(info, fieldPath);
        config.flashRegions[info.region] = ReadSlotSizes(reader, *region, fieldPath);
    }
}

std::uint64_t ReadEnvironmentBytes(const shared::ConfigReader& reader, const json& document) {
    const json* environment = shared::ConfigReader::Optional(document, "bootEnvironment");
    if (!environment) {
        return kDefaultEnvironmentBytes;
    }
    reader.Container(*environment, "bootEnvironment", false, "an object with the environment's \"size\"");
    const json* size = shared::ConfigReader::Optional(*environment, "size");
    if (!size) {
        return kDefaultEnvironmentBytes;
    }
    constexpr std::string_view kExpected = "a number of bytes from 1 to 16 MiB";
    const std::uint64_t bytes = reader.Unsigned(*size, "bootEnvironment.size", shared::kMaxEnvironmentBytes, kExpected);
    if (bytes == 0) {
        reader.Fail("bootEnvironment.size", kExpected);
    }
    return bytes;
}

// The key of a "fileAttributes" path; nothing unless it names an entry below the root.
std::optional<std::u16string> FileAttributeKey(std::string_view path) {
    const std::vector<std::u16string> components = shared::PathResolver::SplitComponents(platform::FromUtf8(path));
    if (components.empty() || !std::all_of(components.begin(), components.end(), shared::PathResolver::IsAcceptableName)) {
        return std::nullopt;
    }
    return shared::AttributeRules::Key(components);
}

FileAttributeMap ReadFileAttributes(const shared::ConfigReader& reader, const json& document) {
    constexpr std::string_view kPathExpected =
        "named by a device path below the root, without \"..\", :*?\"<>| or control characters";
    constexpr std::string_view kBitsExpected =
        "a number or a string such as \"0x16\" of the bits hidden (0x02) and system (0x04), with directory (0x10) "
        "and archive (0x20) allowed";
    FileAttributeMap attributes;
    const json* paths = shared::ConfigReader::Optional(document, "fileAttributes");
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

// The keyring is a file of the device directory, named without a folder, so that the device never
// reads a host file outside itself.
std::optional<shared::TrustFields> ReadTrust(const shared::ConfigReader& reader, const json& document) {
    std::optional<shared::TrustFields> trust = shared::ReadTrustFields(reader, document);
    if (trust && (trust->keyring == "." || trust->keyring == ".." || trust->keyring.find('/') != std::string::npos)) {
        reader.Fail("trust.keyring", "the name of a file in the device directory, such as \"keyring.pem\"");
    }
    return trust;
}

}  // namespace

shared::FileRules FileRulesOf(const DeviceConfig& config) {
    return {config.fileAttributes, config.faults.writeProtected};
}

DeviceConfig ParseDeviceConfig(std::string_view jsonText, std::string_view sourceName) {
    const shared::ConfigReader reader(sourceName);
    const json document = reader.Document(jsonText);
    DeviceConfig config;
    config.screen = ReadScreen(reader, document);
    config.languageId = reader.LanguageId(reader.Required(document, "languageId", "languageId"), "languageId");
    ReadFlashRegions(reader, document, config);
    config.environmentBytes = ReadEnvironmentBytes(reader, document);
    config.programs = ReadPrograms(reader, document);
    config.stores = ReadStores(reader, document);
    config.fileAttributes = ReadFileAttributes(reader, document);
    config.trust = ReadTrust(reader, document);
    config.faults = ReadFaults(reader, document);
    return config;
}

void CheckScreenSize(platform::ScreenSize screen) {
    for (const ScreenSide& side : kScreenSides) {
        const int pixels = screen.*side.member;
        if (!IsScreenSide(pixels)) {
            throw shared::DeviceError(fmt::format("screen {} {} is out of range: it must be from 1 to {}", side.field, pixels,
                                          kMaxScreenSide));
        }
    }
}


}  // namespace velkor::sim
