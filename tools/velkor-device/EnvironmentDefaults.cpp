#include "velkor-device/EnvironmentDefaults.h"

#include "backend/shared/BoundedFile.h"
#include "backend/shared/DeviceError.h"

#include <fmt/format.h>
#include <fmt/std.h>

#include <algorithm>
#include <set>
#include <string>

namespace velkor::device_tool {
namespace {

// No environment copy is larger than the largest size a target file allows.
constexpr std::uint64_t kMaxDefaultsBytes = 16 * 1024 * 1024;

bool IsNameCharacter(char c) { return c > ' ' && c < 0x7f && c != '='; }

}  // namespace

shared::BootVariables EnvironmentDefaults::Read(const std::filesystem::path& file) {
    const std::string text =
        shared::ReadBoundedFile(file, "the defaults file", shared::LinkRule::Followed, kMaxDefaultsBytes);
    return Parse(text, file.string());
}

shared::BootVariables EnvironmentDefaults::Parse(std::string_view text, std::string_view where) {
    shared::BootVariables variables;
    std::set<std::string, std::less<>> names;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNumber;
        if (line.empty()) {
            continue;
        }
        const std::size_t equals = line.find('=');
        const std::string_view name = line.substr(0, equals);
        if (equals == std::string_view::npos || name.empty() || !std::ranges::all_of(name, IsNameCharacter) ||
            line.find('\0') != std::string_view::npos) {
            throw shared::DeviceError(fmt::format("{}, line {}: \"{}\" is not a variable as name=value", where,
                                                  lineNumber, line.substr(0, 80)));
        }
        if (!names.emplace(name).second) {
            throw shared::DeviceError(fmt::format("{}, line {}: {} is given twice", where, lineNumber, name));
        }
        variables.emplace_back(std::string(name), std::string(line.substr(equals + 1)));
    }
    return variables;
}

}  // namespace velkor::device_tool
