#include "backend/sim/windows/ProgramsReader.h"

#include "platform/DeviceText.h"

#include <fmt/format.h>

#include <algorithm>
#include <limits>
#include <string>

namespace velkor::sim {
namespace {

using nlohmann::json;

constexpr const char* kProgramsField = "programs";
constexpr std::uint32_t kMaxProcessId = std::numeric_limits<std::uint32_t>::max();

struct WindowFlag {
    const char* field;
    bool WindowConfig::*member;
};
constexpr std::array<WindowFlag, 2> kWindowFlags{{
    {"visible", &WindowConfig::visible},
    {"owned", &WindowConfig::owned},
}};

// "programs[1]", "programs[1].windows[0]".
std::string ItemPath(std::string_view listPath, std::size_t index) { return fmt::format("{}[{}]", listPath, index); }

std::string FieldPath(std::string_view objectPath, std::string_view field) {
    return fmt::format("{}.{}", objectPath, field);
}

// A control character would split the events.log line that names the executable.
bool HasControlCharacter(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) { return c < 0x20 || c == 0x7F; });
}

std::uint32_t ReadProcessId(const shared::ConfigReader& reader, const json& program, const std::string& programPath,
                            const std::vector<ProgramConfig>& earlier) {
    const std::string path = FieldPath(programPath, "processId");
    const std::string expected =
        fmt::format("a nonzero 32-bit number other than {}, the updater's own", kUpdaterProcessId);
    const std::uint64_t id =
        reader.Unsigned(reader.Required(program, "processId", path), path, kMaxProcessId, expected);
    if (id == 0 || id == kUpdaterProcessId) {
        reader.Fail(path, expected);
    }
    const auto same = std::find_if(earlier.begin(), earlier.end(),
                                   [&](const ProgramConfig& other) { return other.processId == id; });
    if (same != earlier.end()) {
        reader.Fail(path, fmt::format("unique, but {} has {} too",
                                       ItemPath(kProgramsField, static_cast<std::size_t>(same - earlier.begin())), id));
    }
    return static_cast<std::uint32_t>(id);
}

std::u16string ReadExecutable(const shared::ConfigReader& reader, const json& program, const std::string& programPath) {
    const std::string path = FieldPath(programPath, "executable");
    const json& value = reader.Required(program, "executable", path);
    const bool isText = value.is_string() && !value.get<std::string>().empty();
    const std::u16string executable = isText ? platform::FromUtf8(value.get<std::string>()) : std::u16string();
    if (executable.empty() || HasControlCharacter(executable)) {
        reader.Fail(path, "a device path such as \"\\Windows\\Tirnow.exe\"");
    }
    return executable;
}

WindowConfig ReadWindow(const shared::ConfigReader& reader, const json& item, const std::string& windowPath) {
    reader.Container(item, windowPath, false, "an object with \"visible\" and \"owned\"");
    WindowConfig window;
    for (const WindowFlag& flag : kWindowFlags) {
        if (const json* value = shared::ConfigReader::Optional(item, flag.field)) {
            window.*flag.member = reader.Boolean(*value, FieldPath(windowPath, flag.field));
        }
    }
    return window;
}

std::vector<WindowConfig> ReadWindows(const shared::ConfigReader& reader, const json& program, const std::string& programPath) {
    std::vector<WindowConfig> windows;
    const json* list = shared::ConfigReader::Optional(program, "windows");
    if (!list) {
        return windows;
    }
    const std::string path = FieldPath(programPath, "windows");
    for (const json& item : reader.Container(*list, path, true, "a list of windows")) {
        windows.push_back(ReadWindow(reader, item, ItemPath(path, windows.size())));
    }
    return windows;
}

CommandEffect ReadCommandEffect(const shared::ConfigReader& reader, const json& program, const std::string& programPath) {
    const json* value = shared::ConfigReader::Optional(program, "onCommand");
    if (!value) {
        return CommandEffect::Ignore;
    }
    const auto known = std::find_if(kCommandEffectNames.begin(), kCommandEffectNames.end(), [&](const auto& name) {
        return value->is_string() && value->get<std::string>() == name.name;
    });
    if (known == kCommandEffectNames.end()) {
        reader.Fail(FieldPath(programPath, "onCommand"), "\"ignore\" or \"close\"");
    }
    return known->effect;
}

ProgramConfig ReadProgram(const shared::ConfigReader& reader, const json& item, const std::string& programPath,
                          const std::vector<ProgramConfig>& earlier) {
    reader.Container(item, programPath, false, "an object with \"processId\", \"executable\" and \"windows\"");
    ProgramConfig program;
    program.processId = ReadProcessId(reader, item, programPath, earlier);
    program.executable = ReadExecutable(reader, item, programPath);
    program.windows = ReadWindows(reader, item, programPath);
    program.onCommand = ReadCommandEffect(reader, item, programPath);
    return program;
}

}  // namespace

std::vector<ProgramConfig> ReadPrograms(const shared::ConfigReader& reader, const json& document) {
    std::vector<ProgramConfig> programs;
    const json* list = shared::ConfigReader::Optional(document, kProgramsField);
    if (!list) {
        return programs;
    }
    for (const json& item : reader.Container(*list, kProgramsField, true, "a list of programs")) {
        programs.push_back(ReadProgram(reader, item, ItemPath(kProgramsField, programs.size()), programs));
    }
    return programs;
}

std::optional<ProgramSelector> ReadProgramSelector(const json& item) {
    if (item.is_number_unsigned() && item.get<std::uint64_t>() != 0 && item.get<std::uint64_t>() <= kMaxProcessId) {
        return item.get<std::uint32_t>();
    }
    if (item.is_string() && !item.get<std::string>().empty()) {
        return platform::FromUtf8(item.get<std::string>());
    }
    return std::nullopt;
}

}  // namespace velkor::sim
