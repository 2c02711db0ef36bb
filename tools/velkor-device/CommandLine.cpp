#include "velkor-device/CommandLine.h"

#include "backend/shared/HexOrDecimal.h"
#include "backend/sim/DeviceConfig.h"
#include "velkor-device/CardRows.h"
#include "velkor-device/UsageError.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <iterator>
#include <optional>
#include <span>
#include <string>

namespace velkor::device_tool {
namespace {

using Arguments = std::span<const std::string_view>;

constexpr std::string_view kUsage =
    "usage: velkor-device init DIR [--auto] [--screen WxH] [--language ID]\n"
    "       velkor-device show DIR\n"
    "       velkor-device check-target FILE\n"
    "       velkor-device card OUT [--auto | --manual] [--os FILE] [--app FILE] [--logo FILE] [--logo2 FILE]\n"
    "                          [--boot FILE] [--device DIR | --screen WxH] [--force]\n"
    "       velkor-device dry-run CARD --device DIR\n"
    "       velkor-device env-init (--device DIR | --target FILE)\n"
    "       velkor-device boot DIR\n"
    "       velkor-device mark-good (--device DIR | --target FILE)\n"
    "       velkor-device --version\n"
    "\n"
    "  init  makes a new device in DIR, which must be absent or empty:\n"
    "          --auto         the sample images go to \\StorageCard\\AutoUpdate instead of \\StorageCard\\Images\n"
    "          --screen WxH   the screen size in pixels (800x480 unless given)\n"
    "          --language ID  the default language id, hex (0x0804) or decimal (0x0409 unless given)\n"
    "  show  prints the device in DIR at a glance, changing nothing\n"
    "  check-target  prints what the target file FILE reaches on this machine, changing nothing, and\n"
    "                fails naming each field that is wrong or unsafe\n"
    "  card  lays out a storage card in the new folder OUT, once every image passed the device's checks;\n"
    "        at least one image is needed:\n"
    "          --auto         the images go to OUT/AutoUpdate under the names the updater looks for (the default)\n"
    "          --manual       the images go to OUT/Images under their own names, and OUT/updater.cfg ticks them\n"
    "          --os, --app, --logo, --logo2, --boot FILE   the image of that row\n"
    "          --device DIR   checks against the screen and flash regions of the device in DIR\n"
    "          --screen WxH   the screen the second logo must fit (800x480 unless given; default regions)\n"
    "          --force        replaces OUT when it exists\n"
    "  dry-run  runs the update the card CARD would make on a copy of the device in DIR, without a\n"
    "           screen, and prints each row's status; DIR itself is never changed\n"
    "  env-init  makes the boot environment of a device with two-slot regions: BOOT_ORDER=\"A B\",\n"
    "            BOOT_A_LEFT=3, BOOT_B_LEFT=0, in both copies; an existing environment is left alone\n"
    "  boot  plays the boot loader on the device in DIR: boots the first slot of BOOT_ORDER with tries\n"
    "        left, takes one try, and prints the slot and what each region holds\n"
    "  mark-good  gives the slot that booted its tries again, as the booted system does once it is up\n";

std::optional<int> ParseInteger(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, failure] = std::from_chars(text.data(), end, value);
    return !text.empty() && failure == std::errc() && stop == end ? std::optional<int>(value) : std::nullopt;
}

void ApplyAuto(sim::DeviceOptions& options, std::string_view) { options.autoUpdate = true; }

platform::ScreenSize ParseScreen(std::string_view value) {
    const std::size_t separator = value.find_first_of("xX");
    const std::optional<int> width = ParseInteger(value.substr(0, separator));
    const std::optional<int> height =
        separator == std::string_view::npos ? std::nullopt : ParseInteger(value.substr(separator + 1));
    if (!width || !height) {
        throw UsageError(fmt::format("--screen wants WIDTHxHEIGHT, such as 800x480, not \"{}\"", value));
    }
    return {*width, *height};
}

void ApplyScreen(sim::DeviceOptions& options, std::string_view value) { options.screen = ParseScreen(value); }

void ApplyLanguage(sim::DeviceOptions& options, std::string_view value) {
    const std::optional<std::uint16_t> id = shared::ParseLanguageId(value);
    if (!id) {
        throw UsageError(fmt::format("--language wants a 16-bit id such as 0x0804 or 2052, not \"{}\"", value));
    }
    options.languageId = *id;
}

// A command's option and what it does to the command's request.
template <typename Target>
struct Option {
    std::string_view name;
    bool takesValue;
    void (*apply)(Target&, std::string_view);
};

constexpr std::array<Option<sim::DeviceOptions>, 3> kInitOptions{{
    {"--auto", false, ApplyAuto},
    {"--screen", true, ApplyScreen},
    {"--language", true, ApplyLanguage},
}};

void ApplyAutoLayout(CardRequest& request, std::string_view) { request.layout = CardLayout::Auto; }
void ApplyManualLayout(CardRequest& request, std::string_view) { request.layout = CardLayout::Manual; }
void ApplyDevice(CardRequest& request, std::string_view value) { request.device = value; }
void ApplyCardScreen(CardRequest& request, std::string_view value) { request.screen = ParseScreen(value); }
void ApplyForce(CardRequest& request, std::string_view) { request.force = true; }

// The images' options (--os, ...) come from the rows themselves.
constexpr std::array<Option<CardRequest>, 5> kCardOptions{{
    {"--auto", false, ApplyAutoLayout},
    {"--manual", false, ApplyManualLayout},
    {"--device", true, ApplyDevice},
    {"--screen", true, ApplyCardScreen},
    {"--force", false, ApplyForce},
}};

bool IsOption(std::string_view argument) { return argument.starts_with("--"); }

// The value after the option at `index`, which it steps over.
std::string_view OptionValue(Arguments arguments, std::size_t& index) {
    if (index + 1 == arguments.size()) {
        throw UsageError(fmt::format("{} needs a value", arguments[index]));
    }
    return arguments[++index];
}

// Applies the option at `index` of `command`, stepping over its value when it takes one.
template <typename Target, std::size_t Count>
void ApplyOption(std::string_view command, const std::array<Option<Target>, Count>& options, Arguments arguments,
                 std::size_t& index, Target& target) {
    const std::string_view name = arguments[index];
    const auto option = std::find_if(options.begin(), options.end(),
                                     [&](const Option<Target>& known) { return known.name == name; });
    if (option == options.end()) {
        throw UsageError(fmt::format("{} has no option {}", command, name));
    }
    option->apply(target, option->takesValue ? OptionValue(arguments, index) : std::string_view());
}

Request ParseInit(Arguments arguments) {
    InitRequest request;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        if (IsOption(arguments[index])) {
            ApplyOption("init", kInitOptions, arguments, index, request.options);
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

std::optional<update::ImageKind> ImageOption(std::string_view argument) {
    const auto row = std::find_if(kCardRows.begin(), kCardRows.end(),
                                  [&](update::ImageKind kind) { return CardOption(kind) == argument; });
    return row != kCardRows.end() ? std::optional(*row) : std::nullopt;
}

void AddCardImage(Arguments arguments, std::size_t& index, update::ImageKind kind, CardRequest& request) {
    const std::string_view option = arguments[index];
    if (!request.images.emplace(kind, OptionValue(arguments, index)).second) {
        throw UsageError(fmt::format("{} is given twice", option));
    }
}

void CheckCardRequest(const CardRequest& request) {
    if (request.out.empty()) {
        throw UsageError("card needs the folder to lay the card out in");
    }
    if (request.images.empty()) {
        std::vector<std::string> options;
        std::transform(kCardRows.begin(), kCardRows.end(), std::back_inserter(options), CardOption);
        throw UsageError(fmt::format("card needs at least one image: {}", fmt::join(options, ", ")));
    }
    if (request.device && request.screen) {
        throw UsageError("card takes --device or --screen, not both: the device has its own screen");
    }
}

Request ParseCard(Arguments arguments) {
    CardRequest request;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        if (const std::optional<update::ImageKind> kind = ImageOption(arguments[index])) {
            AddCardImage(arguments, index, *kind, request);
        } else if (IsOption(arguments[index])) {
            ApplyOption("card", kCardOptions, arguments, index, request);
        } else if (request.out.empty()) {
            request.out = arguments[index];
        } else {
            throw UsageError("card takes one folder to lay the card out in");
        }
    }
    CheckCardRequest(request);
    return request;
}

Request ParseDryRun(Arguments arguments) {
    if (arguments.size() != 3 || IsOption(arguments[0]) || arguments[1] != "--device") {
        throw UsageError("dry-run takes a card folder and --device DIR");
    }
    return DryRunRequest{arguments[0], arguments[2]};
}

// --device DIR or --target FILE, exactly one.
Request ParseBootSideLocation(BootCommand command, std::string_view name, Arguments arguments) {
    BootSideRequest request{command, std::nullopt, std::nullopt};
    if (arguments.size() == 2 && arguments[0] == "--device") {
        request.device = arguments[1];
    } else if (arguments.size() == 2 && arguments[0] == "--target") {
        request.target = arguments[1];
    } else {
        throw UsageError(fmt::format("{} takes --device DIR or --target FILE", name));
    }
    return request;
}

Request ParseEnvInit(Arguments arguments) { return ParseBootSideLocation(BootCommand::EnvInit, "env-init", arguments); }

Request ParseMarkGood(Arguments arguments) {
    return ParseBootSideLocation(BootCommand::MarkGood, "mark-good", arguments);
}

Request ParseBoot(Arguments arguments) {
    if (arguments.size() != 1 || IsOption(arguments[0])) {
        throw UsageError("boot takes exactly one device directory and no options");
    }
    return BootSideRequest{BootCommand::Boot, std::filesystem::path(arguments[0]), std::nullopt};
}

Request ParseHelp(Arguments) { return HelpRequest{}; }

Request ParseVersion(Arguments) { return VersionRequest{}; }

struct Command {
    std::string_view name;
    Request (*parse)(Arguments);
};
constexpr std::array<Command, 12> kCommands{{
    {"init", ParseInit},
    {"show", ParseShow},
    {"check-target", ParseCheckTarget},
    {"card", ParseCard},
    {"dry-run", ParseDryRun},
    {"env-init", ParseEnvInit},
    {"boot", ParseBoot},
    {"mark-good", ParseMarkGood},
    {"help", ParseHelp},
    {"--help", ParseHelp},
    {"-h", ParseHelp},
    {"--version", ParseVersion},
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
