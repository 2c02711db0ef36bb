#include "velkor-device/CommandLine.h"

#include "host/HexOrDecimal.h"
#include "sim/DeviceConfig.h"
#include "velkor-device/UsageError.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <span>

namespace velkor::device_tool {
namespace {

using Arguments = std::span<const std::string_view>;

constexpr std::string_view kUsage =
    "usage: velkor-device init DIR [--auto] [--screen WxH] [--language ID]\n"
    "       velkor-device show DIR\n"
    "       velkor-device check-target FILE\n"
    "\n"
    "  init  makes a new device in DIR, which must be absent or empty:\n"
    "          --auto         the sample images go to \\StorageCard\\AutoUpdate instead of \\StorageCard\\Images\n"
    "          --screen WxH   the screen size in pixels (800x480 unless given)\n"
    "          --language ID  the default language id, hex (0x0804) or decimal (0x0409 unless given)\n"
    "  show  prints the device in DIR at a glance, changing nothing\n"
    "  check-target  prints what the target file FILE reaches on this machine, changing nothing, and\n"
    "                fails naming each field that is wrong or unsafe\n";

std::optional<int> ParseInteger(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, failure] = std::from_chars(text.data(), end, value);
    return !text.empty() && failure == std::errc() && stop == end ? std::optional<int>(value) : std::nullopt;
}

void ApplyAuto(sim::DeviceOptions& options, std::string_view) { options.autoUpdate = true; }

void ApplyScreen(sim::DeviceOptions& options, std::string_view value) {
    const std::size_t separator = value.find_first_of("xX");
    const std::optional<int> width = ParseInteger(value.substr(0, separator));
    const std::optional<int> height =
        separator == std::string_view::npos ? std::nullopt : ParseInteger(value.substr(separator + 1));
    if (!width || !height) {
        throw UsageError(fmt::format("--screen wants WIDTHxHEIGHT, such as 800x480, not \"{}\"", value));
    }
    options.screen = {*width, *height};
}

void ApplyLanguage(sim::DeviceOptions& options, std::string_view value) {
    const std::optional<std::uint16_t> id = host::ParseLanguageId(value);
    if (!id) {
        throw UsageError(fmt::format("--language wants a 16-bit id such as 0x0804 or 2052, not \"{}\"", value));
    }
    options.languageId = *id;
}

struct InitOption {
    std::string_view name;
    bool takesValue;
    void (*apply)(sim::DeviceOptions&, std::string_view);
};
constexpr std::array<InitOption, 3> kInitOptions{{
    {"--auto", false, ApplyAuto},
    {"--screen", true, ApplyScreen},
    {"--language", true, ApplyLanguage},
}};

bool IsOption(std::string_view argument) { return argument.starts_with("--"); }

// Applies the option at `index`, stepping over its value when it takes one.
void ApplyInitOption(Arguments arguments, std::size_t& index, sim::DeviceOptions& options) {
    const std::string_view name = arguments[index];
    const auto option = std::find_if(kInitOptions.begin(), kInitOptions.end(),
                                     [&](const InitOption& known) { return known.name == name; });
    if (option == kInitOptions.end()) {
        throw UsageError(fmt::format("init has no option {}", name));
    }
    if (option->takesValue && index + 1 == arguments.size()) {
        throw UsageError(fmt::format("{} needs a value", name));
    }
    option->apply(options, option->takesValue ? arguments[++index] : std::string_view());
}

Request ParseInit(Arguments arguments) {
    InitRequest request;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        if (IsOption(arguments[index])) {
            ApplyInitOption(arguments, index, request.options);
        } else if (request.directory.empty()) {
            request.directory = arguments[index];
        } else {
            throw UsageError("init takes one directory");
        }
    }
    if (request.directory.empty()) {
        throw UsageError("init needs the directory to make the device in");
    }
    return request;
}

Request ParseShow(Arguments arguments) {
    if (arguments.size() != 1 || IsOption(arguments[0])) {
        throw UsageError("show takes exactly one directory and no options");
    }
    return ShowRequest{arguments[0]};
}

Request ParseCheckTarget(Arguments arguments) {
    if (arguments.size() != 1 || IsOption(arguments[0])) {
        throw UsageError("check-target takes exactly one target file and no options");
    }
    return CheckTargetRequest{arguments[0]};
}

Request ParseHelp(Arguments) { return HelpRequest{}; }

struct Command {
    std::string_view name;
    Request (*parse)(Arguments);
};
constexpr std::array<Command, 6> kCommands{{
    {"init", ParseInit},
    {"show", ParseShow},
    {"check-target", ParseCheckTarget},
    {"help", ParseHelp},
    {"--help", ParseHelp},
    {"-h", ParseHelp},
}};

}  // namespace

Request ParseCommandLine(const std::vector<std::string_view>& arguments) {
    if (arguments.empty()) {
        throw UsageError("a command is needed");
    }
    const auto command = std::find_if(kCommands.begin(), kCommands.end(),
                                      [&](const Command& known) { return known.name == arguments[0]; });
    if (command == kCommands.end()) {
        throw UsageError(fmt::format("unknown command \"{}\"", arguments[0]));
    }
    return command->parse(Arguments(arguments).subspan(1));
}

std::string_view UsageText() { return kUsage; }

}  // namespace velkor::device_tool
