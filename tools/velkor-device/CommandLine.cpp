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

constexpr std::string_view kProgram = "velkor-device";
constexpr std::array<std::string_view, 2> kHelpOptions{"--help", "-h"};

std::optional<int> ParseInteger(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, failure] = std::from_chars(text.data(), end, value);
    return !text.empty() && failure == std::errc() && stop == end ? std::optional<int>(value) : std::nullopt;
}

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

void ApplyAuto(sim::DeviceOptions& options, std::string_view) { options.autoUpdate = true; }

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

// The card's request as the options build it; the layout and the signing files are remembered
// apart, so that both layouts given can be told from one given twice, and a signing key from a
// whole signer.
struct CardArguments {
    CardRequest request;
    std::optional<CardLayout> layout;
    std::optional<std::filesystem::path> signingKey;
    std::optional<std::filesystem::path> signingCertificate;
    std::optional<std::filesystem::path> signingChain;
};

void ChooseLayout(CardArguments& arguments, CardLayout layout) {
    if (arguments.layout && *arguments.layout != layout) {
        throw UsageError("--auto or --manual, not both: a card is laid out one way");
    }
    arguments.layout = layout;
}

void ApplyAutoLayout(CardArguments& arguments, std::string_view) { ChooseLayout(arguments, CardLayout::Auto); }
void ApplyManualLayout(CardArguments& arguments, std::string_view) { ChooseLayout(arguments, CardLayout::Manual); }
void ApplyDevice(CardArguments& arguments, std::string_view value) { arguments.request.device = value; }
void ApplyCardTarget(CardArguments& arguments, std::string_view value) { arguments.request.target = value; }
void ApplyCardScreen(CardArguments& arguments, std::string_view value) {
    arguments.request.screen = ParseScreen(value);
}
void ApplyForce(CardArguments& arguments, std::string_view) { arguments.request.force = true; }
void ApplyCompatible(CardArguments& arguments, std::string_view value) { arguments.request.compatible = value; }
void ApplyCardVersion(CardArguments& arguments, std::string_view value) {
    std::uint64_t version = 0;
    const char* end = value.data() + value.size();
    const auto [stop, failure] = std::from_chars(value.data(), end, version);
    if (value.empty() || failure != std::errc() || stop != end) {
        throw UsageError(fmt::format("--version wants a whole number from 0, not \"{}\"", value));
    }
    arguments.request.version = version;
}
void ApplySigningKey(CardArguments& arguments, std::string_view value) { arguments.signingKey = value; }
void ApplySigningCertificate(CardArguments& arguments, std::string_view value) {
    arguments.signingCertificate = value;
}
void ApplySigningChain(CardArguments& arguments, std::string_view value) { arguments.signingChain = value; }

// The images' options (--os, ...) come from the rows themselves.
constexpr std::array<Option<CardArguments>, 11> kCardOptions{{
    {"--auto", false, ApplyAutoLayout},
    {"--manual", false, ApplyManualLayout},
    {"--device", true, ApplyDevice},
    {"--target", true, ApplyCardTarget},
    {"--screen", true, ApplyCardScreen},
    {"--force", false, ApplyForce},
    {"--compatible", true, ApplyCompatible},
    {"--version", true, ApplyCardVersion},
    {"--sign-key", true, ApplySigningKey},
    {"--sign-cert", true, ApplySigningCertificate},
    {"--sign-chain", true, ApplySigningChain},
}};

void ApplyDryRunDevice(DryRunRequest& request, std::string_view value) { request.device = value; }

constexpr std::array<Option<DryRunRequest>, 1> kDryRunOptions{{
    {"--device", true, ApplyDryRunDevice},
}};

void ApplyInstallDevice(InstallRequest& request, std::string_view value) { request.where.device = value; }
void ApplyInstallTarget(InstallRequest& request, std::string_view value) { request.where.target = value; }
void ApplyRestart(InstallRequest& request, std::string_view) { request.restart = true; }
void ApplyProgress(InstallRequest& request, std::string_view value) {
    if (value != "lines" && value != "json") {
        throw UsageError(fmt::format("--progress wants lines or json, not \"{}\"", value));
    }
    request.progress = value == "json" ? ProgressForm::Json : ProgressForm::Lines;
}

constexpr std::array<Option<InstallRequest>, 4> kInstallOptions{{
    {"--device", true, ApplyInstallDevice},
    {"--target", true, ApplyInstallTarget},
    {"--progress", true, ApplyProgress},
    {"--restart", false, ApplyRestart},
}};

bool IsOption(std::string_view argument) { return argument.starts_with("-") && argument.size() > 1; }

// The value after the option at `index`, which it steps over.
std::string_view OptionValue(Arguments arguments, std::size_t& index) {
    if (index + 1 == arguments.size()) {
        throw UsageError(fmt::format("{} needs a value", arguments[index]));
    }
    return arguments[++index];
}

// Applies the option at `index`, stepping over its value when it takes one.
template <typename Target, std::size_t Count>
void ApplyOption(const std::array<Option<Target>, Count>& options, Arguments arguments, std::size_t& index,
                 Target& target) {
    // "--name=value" gives the value in the same argument.
    const std::string_view argument = arguments[index];
    const std::size_t equals = argument.find('=');
    const std::string_view name = argument.substr(0, equals);
    const auto option = std::find_if(options.begin(), options.end(),
                                     [&](const Option<Target>& known) { return known.name == name; });
    if (option == options.end()) {
        throw UsageError(fmt::format("there is no option {}", name));
    }
    if (equals != std::string_view::npos && !option->takesValue) {
        throw UsageError(fmt::format("{} takes no value", name));
    }
    const std::string_view value = equals != std::string_view::npos ? argument.substr(equals + 1)
                                   : option->takesValue            ? OptionValue(arguments, index)
                                                                   : std::string_view();
    option->apply(target, value);
}

// Sets the one path a command takes; `what` names it for the complaint about a second one.
void SetPath(std::filesystem::path& path, std::string_view argument, std::string_view what) {
    if (!path.empty()) {
        throw UsageError(fmt::format("one {} only, not also \"{}\"", what, argument));
    }
    path = argument;
}

// Walks a command's arguments: each option through its table, the one other argument as the path.
template <typename Target, std::size_t Count>
void ReadArguments(const std::array<Option<Target>, Count>& options, Arguments arguments, Target& target,
                   std::filesystem::path& path, std::string_view what) {
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        if (IsOption(arguments[index])) {
            ApplyOption(options, arguments, index, target);
        } else {
            SetPath(path, arguments[index], what);
        }
    }
}

// A region given once, as one device or as two slots.
void AddRegion(InitTargetRequest& request, const std::string& name, std::vector<std::filesystem::path> paths) {
    if (!request.regions.emplace(name, std::move(paths)).second) {
        throw UsageError(fmt::format("the {} region is given twice", name));
    }
}
template <const char* Name>
void ApplyRegion(InitTargetRequest& request, std::string_view value) {
    AddRegion(request, Name, {std::filesystem::path(value)});
}
template <const char* Name>
void ApplySlots(InitTargetRequest& request, std::string_view value) {
    const std::size_t comma = value.find(',');
    if (comma == std::string_view::npos || comma == 0 || comma + 1 == value.size()) {
        throw UsageError(fmt::format("--{}-slots wants SLOT_A,SLOT_B, not \"{}\"", Name, value));
    }
    AddRegion(request, Name,
              {std::filesystem::path(value.substr(0, comma)), std::filesystem::path(value.substr(comma + 1))});
}
constexpr char kBootRegion[] = "boot";
constexpr char kLogoRegion[] = "logo";
constexpr char kOsRegion[] = "os";
constexpr char kAppRegion[] = "app";

// An optional path or text of the request, given once.
template <auto Field>
void ApplyOnce(InitTargetRequest& request, std::string_view value) {
    auto& field = request.*Field;
    if (field) {
        throw UsageError(fmt::format("an option is given twice, the second time as \"{}\"", value));
    }
    field.emplace(value);
}
template <auto Field>
void ApplyFolder(InitTargetRequest& request, std::string_view value) {
    SetPath(request.*Field, value, "folder of its kind");
}
void ApplyEnvironment(InitTargetRequest& request, std::string_view value) {
    request.environment.emplace_back(value);
}
void ApplyInitTargetForce(InitTargetRequest& request, std::string_view) { request.force = true; }

constexpr std::array<Option<InitTargetRequest>, 20> kInitTargetOptions{{
    {"--boot", true, ApplyRegion<kBootRegion>},
    {"--logo", true, ApplyRegion<kLogoRegion>},
    {"--os", true, ApplyRegion<kOsRegion>},
    {"--app", true, ApplyRegion<kAppRegion>},
    {"--os-slots", true, ApplySlots<kOsRegion>},
    {"--app-slots", true, ApplySlots<kAppRegion>},
    {"--env", true, ApplyEnvironment},
    {"--command-line", true, ApplyOnce<&InitTargetRequest::commandLine>},
    {"--data", true, ApplyOnce<&InitTargetRequest::data>},
    {"--data-mount", true, ApplyOnce<&InitTargetRequest::dataMount>},
    {"--card", true, ApplyFolder<&InitTargetRequest::card>},
    {"--nand", true, ApplyOnce<&InitTargetRequest::nand>},
    {"--log", true, ApplyFolder<&InitTargetRequest::log>},
    {"--keyring", true, ApplyOnce<&InitTargetRequest::keyring>},
    {"--compatible", true, ApplyOnce<&InitTargetRequest::compatible>},
    {"--record", true, ApplyOnce<&InitTargetRequest::record>},
    {"--mount-command", true, ApplyOnce<&InitTargetRequest::mountCommand>},
    {"--unmount-command", true, ApplyOnce<&InitTargetRequest::unmountCommand>},
    {"--restart-command", true, ApplyOnce<&InitTargetRequest::restartCommand>},
    {"--force", false, ApplyInitTargetForce},
}};

Request ParseInit(Arguments arguments) {
    InitRequest request;
    ReadArguments(kInitOptions, arguments, request.options, request.directory, "directory");
    if (request.directory.empty()) {
        throw UsageError("the directory to make the device in is needed");
    }
    return request;
}

// The one path of a command that takes nothing else.
std::filesystem::path OnlyPath(Arguments arguments, std::string_view what) {
    std::filesystem::path path;
    for (const std::string_view argument : arguments) {
        if (IsOption(argument)) {
            throw UsageError(fmt::format("there is no option {}", argument));
        }
        SetPath(path, argument, what);
    }
    if (path.empty()) {
        throw UsageError(fmt::format("the {} is needed", what));
    }
    return path;
}

Request ParseShow(Arguments arguments) { return ShowRequest{OnlyPath(arguments, "device directory")}; }

Request ParseCheckTarget(Arguments arguments) { return CheckTargetRequest{OnlyPath(arguments, "target file")}; }

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
        throw UsageError("the folder to lay the card out in is needed");
    }
    if (request.images.empty()) {
        std::vector<std::string> options;
        std::transform(kCardRows.begin(), kCardRows.end(), std::back_inserter(options), CardOption);
        throw UsageError(fmt::format("at least one image is needed: {}", fmt::join(options, ", ")));
    }
    if (request.device && request.screen) {
        throw UsageError("--device or --screen, not both: the device has its own screen");
    }
    if (request.device && request.target) {
        throw UsageError("--device or --target, not both: a card is checked against one device");
    }
    if (request.signing && !request.version) {
        throw UsageError("--sign-key needs --version: the device refuses a signed card older than what it has");
    }
}

// A signer is a key and its certificate, with a chain only beside them.
std::optional<CardSigning> Signing(const CardArguments& arguments) {
    if (!arguments.signingKey && !arguments.signingCertificate) {
        if (arguments.signingChain) {
            throw UsageError("--sign-chain goes with --sign-key and --sign-cert");
        }
        return std::nullopt;
    }
    if (!arguments.signingKey || !arguments.signingCertificate) {
        throw UsageError("--sign-key and --sign-cert go together: the key signs, its certificate names the signer");
    }
    return CardSigning{*arguments.signingKey, *arguments.signingCertificate, arguments.signingChain};
}

Request ParseCard(Arguments arguments) {
    CardArguments parsed;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        if (const std::optional<update::ImageKind> kind = ImageOption(arguments[index])) {
            AddCardImage(arguments, index, *kind, parsed.request);
        } else if (IsOption(arguments[index])) {
            ApplyOption(kCardOptions, arguments, index, parsed);
        } else {
            SetPath(parsed.request.out, arguments[index], "card folder");
        }
    }
    parsed.request.layout = parsed.layout.value_or(CardLayout::Auto);
    parsed.request.signing = Signing(parsed);
    CheckCardRequest(parsed.request);
    return parsed.request;
}

Request ParseDryRun(Arguments arguments) {
    DryRunRequest request;
    ReadArguments(kDryRunOptions, arguments, request, request.card, "card folder");
    if (request.card.empty()) {
        throw UsageError("the card folder is needed");
    }
    if (request.device.empty()) {
        throw UsageError("--device DIR is needed: the device the card is meant for");
    }
    return request;
}

Request ParseInitTarget(Arguments arguments) {
    InitTargetRequest request;
    ReadArguments(kInitTargetOptions, arguments, request, request.file, "target file");
    if (request.file.empty() || request.card.empty() || request.log.empty()) {
        throw UsageError("the target file, --card DIR and --log DIR are needed");
    }
    CheckInitTarget(request);
    return request;
}

Request ParseInstall(Arguments arguments) {
    InstallRequest request;
    ReadArguments(kInstallOptions, arguments, request, request.card, "card folder");
    if (request.card.empty()) {
        throw UsageError("the card folder is needed");
    }
    if (request.where.device.has_value() == request.where.target.has_value()) {
        throw UsageError("--device DIR or --target FILE is needed, one of them: the device to update");
    }
    return request;
}

// --device DIR or --target FILE, exactly one.
Request ParseBootSideLocation(BootCommand command, std::string_view name, Arguments arguments) {
    BootSideRequest request{command, std::nullopt, std::nullopt, std::nullopt};
    if (arguments.size() == 2 && arguments[0] == "--device") {
        request.device = arguments[1];
    } else if (arguments.size() == 2 && arguments[0] == "--target") {
        request.target = arguments[1];
    } else {
        throw UsageError(fmt::format("{} takes --device DIR or --target FILE", name));
    }
    return request;
}

Request ParseEnvInit(Arguments arguments) {
    constexpr std::size_t kWithDefaults = 4;
    if (arguments.size() == kWithDefaults && arguments[2] == "--defaults") {
        BootSideRequest request = std::get<BootSideRequest>(
            ParseBootSideLocation(BootCommand::EnvInit, "env-init", arguments.first(2)));
        request.defaults = arguments[3];
        return request;
    }
    return ParseBootSideLocation(BootCommand::EnvInit, "env-init", arguments);
}

Request ParseMarkGood(Arguments arguments) {
    return ParseBootSideLocation(BootCommand::MarkGood, "mark-good", arguments);
}

Request ParseBoot(Arguments arguments) {
    if (arguments.size() != 1 || IsOption(arguments[0])) {
        throw UsageError("boot takes exactly one device directory and no options");
    }
    return BootSideRequest{BootCommand::Boot, std::filesystem::path(arguments[0]), std::nullopt, std::nullopt};
}

Request ParseVersion(Arguments arguments) {
    if (!arguments.empty()) {
        throw UsageError(fmt::format("--version takes nothing after it, not \"{}\"", arguments.front()));
    }
    return VersionRequest{};
}

Request ParseHelp(Arguments arguments);

// A command: its name, its usage (after "velkor-device "; a further line starts with "\n" and is
// indented from the command's name), what it and its options do, and how its arguments make its
// request. A new command is one more entry here and in `Request`. Aliases have no usage.
struct Command {
    std::string_view name;
    std::string_view usage;
    std::string_view help;
    Request (*parse)(Arguments);
};

constexpr std::array<Command, 14> kCommands{{
    {"init", "init DIR [--auto] [--screen WxH] [--language ID]",
     "makes a new device in DIR, which must be absent or empty:\n"
     "  --auto         the sample images go to \\StorageCard\\AutoUpdate instead of \\StorageCard\\Images\n"
     "  --screen WxH   the screen size in pixels (800x480 unless given)\n"
     "  --language ID  the default language id, hex (0x0804) or decimal (0x0409 unless given)\n",
     ParseInit},
    {"show", "show DIR", "prints the device in DIR at a glance, changing nothing\n", ParseShow},
    {"check-target", "check-target FILE",
     "prints what the target file FILE reaches on this machine, changing nothing, and fails naming\n"
     "each field that is wrong or unsafe\n",
     ParseCheckTarget},
    {"card",
     "card OUT [--auto | --manual] [--device DIR | --target FILE] [--screen WxH] [--force]\n"
     "     [--os FILE] [--app FILE] [--logo FILE] [--logo2 FILE] [--boot FILE]\n"
     "     [--compatible TEXT] [--version N] [--sign-key KEY --sign-cert CERT [--sign-chain CHAIN]]",
     "lays out a storage card in the new folder OUT, once every image passed the device's checks,\n"
     "with OUT/velkor-manifest.json listing each image's row, path, size and SHA-256; at least one\n"
     "image is needed:\n"
     "  --auto         the images go to OUT/AutoUpdate under the names the updater looks for (the default)\n"
     "  --manual       the images go to OUT/Images under their own names, and OUT/updater.cfg ticks them\n"
     "  --os, --app, --logo, --logo2, --boot FILE   the image of that row\n"
     "  --device DIR   checks against the screen, flash regions, storage card and trust of the device in DIR\n"
     "  --target FILE  checks against the real device FILE describes: its regions' block devices (read\n"
     "                 only), its registry's storage card, its trust; the screen is --screen's\n"
     "  --screen WxH   the screen the second logo must fit (800x480 unless given; default regions)\n"
     "  --force        replaces OUT when it holds an earlier card and nothing else\n"
     "  --compatible TEXT  the device family in the manifest (the device's own with --device)\n"
     "  --version N    the release in the manifest, a whole number that only grows (0 unless given)\n"
     "  --sign-key KEY, --sign-cert CERT   sign the manifest with this PEM key and certificate into\n"
     "                 OUT/velkor-manifest.json.sig (detached CMS, DER); needs --version\n"
     "  --sign-chain CHAIN  intermediate certificates (PEM) the signature carries\n",
     ParseCard},
    {"dry-run", "dry-run CARD --device DIR",
     "runs the update that the card CARD, copied onto the storage card of the device in DIR, would\n"
     "make, on a copy of that device and without a screen; prints what it did in the order it did it,\n"
     "and fails when the card chooses no row or a row it chose would not be updated; DIR itself is\n"
     "never changed\n",
     ParseDryRun},
    {"init-target",
     "init-target FILE --card DIR --log DIR [--boot DEV] [--logo DEV] [--os DEV | --os-slots A,B]\n"
     "            [--app DEV | --app-slots A,B] [--env DEV:OFFSET:SIZE --env DEV:OFFSET:SIZE [--command-line FILE]]\n"
     "            [--data DEV --data-mount DIR] [--nand DIR] [--keyring FILE --compatible TEXT [--record FILE]]\n"
     "            [--mount-command CMD] [--unmount-command CMD] [--restart-command CMD] [--force]",
     "writes the target file FILE of a real device and its registry platform.reg beside it; check it\n"
     "with check-target. Host paths are written absolute:\n"
     "  --card DIR     the storage card's folder, where cards appear\n"
     "  --log DIR      the folder that gets events.log (made when missing)\n"
     "  --boot, --logo, --os, --app DEV   the region's block device or file; a region left out is one\n"
     "                 the device does not have, and its row fails\n"
     "  --os-slots, --app-slots A,B   the region's two slots; needs --env twice\n"
     "  --env DEV:OFFSET:SIZE   a copy of the boot loader's environment, as it was built\n"
     "  --command-line FILE   the kernel command line naming the booted slot (/proc/cmdline unless given)\n"
     "  --data DEV, --data-mount DIR   the data partition (FAT), and where its volume is mounted\n"
     "  --nand DIR     the NAND flash folder of the device\n"
     "  --keyring FILE, --compatible TEXT   take only cards signed for this family by the keyring's\n"
     "                 signers; --record FILE keeps the installed release (LOG/installed.json unless given)\n"
     "  --mount-command, --unmount-command CMD   argument lists split at spaces, with {device} and\n"
     "                 {mountPoint} (mount -t vfat / umount unless given)\n"
     "  --restart-command CMD   what restarts the device, such as 'systemctl reboot'; without it the\n"
     "                 restart does nothing, so that a machine preparing loop devices never reboots\n"
     "  --force        replaces FILE and its platform.reg\n",
     ParseInitTarget},
    {"install", "install CARD (--device DIR | --target FILE) [--progress=lines|json] [--restart]",
     "runs the update the card CARD makes, as the updater runs it when CARD is in the device, without\n"
     "a window: CARD is copied onto the device's storage card, the card checked, the sibling programs\n"
     "closed, the data volume formatted, each chosen row written and the commit made, with the same\n"
     "logs; never while the updater runs on the same device. Exits with 0 when every row succeeded and\n"
     "the commit was made, 3 when the card is refused (nothing happened), 4 when a row failed, 5 when\n"
     "the commit was not made, 6 when the device does not start the update, 7 when an AutoUpdate\n"
     "card's release already runs, confirmed (nothing happened for either), 1 when the device cannot\n"
     "be used, 2 for a wrong command line:\n"
     "  --device DIR   the simulated device in DIR\n"
     "  --target FILE  the real device that the target file FILE describes\n"
     "  --progress=json  one JSON object a line as each row begins and ends (row, bytesDone,\n"
     "                 bytesTotal, state) instead of a line for a person; the messages go to stderr\n"
     "  --restart      restarts the device after an install that ended with 0\n",
     ParseInstall},
    {"env-init", "env-init (--device DIR | --target FILE) [--defaults FILE]",
     "gives the boot environment of a device with two-slot regions its boot variables:\n"
     "BOOT_ORDER=\"A B\", BOOT_A_LEFT=3, BOOT_B_LEFT=0. A valid environment gets the ones it lacks and\n"
     "keeps every other variable; with neither copy valid, a new one is written from --defaults\n"
     "(refused on a target without it). Prints what it added:\n"
     "  --device DIR     the simulated device in DIR\n"
     "  --target FILE    the real device that the target file FILE describes\n"
     "  --defaults FILE  U-Boot's default environment, name=value a line (make u-boot-initial-env,\n"
     "                   or fw_printenv of a good device)\n",
     ParseEnvInit},
    {"boot", "boot DIR",
     "plays the boot loader on the simulated device in DIR: boots the first slot of BOOT_ORDER with\n"
     "tries left, takes one try, and prints the slot and what each region holds\n",
     ParseBoot},
    {"mark-good", "mark-good (--device DIR | --target FILE)",
     "gives the slot that booted its tries again, as the booted system does once it is up:\n"
     "  --device DIR   the simulated device in DIR\n"
     "  --target FILE  the real device that the target file FILE describes\n",
     ParseMarkGood},
    {"help", "help [COMMAND] | COMMAND --help",
     "prints the usage of every command, or of COMMAND with what its options do\n", ParseHelp},
    {"--help", "", "", ParseHelp},
    {"-h", "", "", ParseHelp},
    {"--version", "--version", "prints the version\n", ParseVersion},
}};

const Command* FindCommand(std::string_view name) {
    const auto command =
        std::find_if(kCommands.begin(), kCommands.end(), [&](const Command& known) { return known.name == name; });
    return command != kCommands.end() ? &*command : nullptr;
}

Request ParseHelp(Arguments arguments) {
    if (arguments.empty()) {
        return HelpRequest{};
    }
    const Command* command = FindCommand(arguments.front());
    if (!command) {
        throw UsageError(fmt::format("there is no command \"{}\"", arguments.front()));
    }
    if (arguments.size() > 1) {
        throw UsageError(fmt::format("one command only, not also \"{}\"", arguments[1]));
    }
    return HelpRequest{std::string(command->name)};
}

// "usage: velkor-device card OUT ...", later commands' lines aligned under the first.
std::string UsageLines(const Command& command, bool first) {
    const std::string lead = fmt::format("{:<7}{} ", first ? "usage:" : "", kProgram);
    std::string lines = lead;
    for (const char letter : command.usage) {
        lines += letter;
        if (letter == '\n') {
            lines += std::string(lead.size(), ' ');
        }
    }
    return lines + '\n';
}

// Each line of `text` two columns in, under its command's name.
std::string Indented(std::string_view text) {
    std::string indented;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size() - 1) + 1;
        indented += fmt::format("  {}", text.substr(start, end - start));
        start = end;
    }
    return indented;
}

bool AsksForHelp(Arguments arguments) {
    return std::find_first_of(arguments.begin(), arguments.end(), kHelpOptions.begin(), kHelpOptions.end()) !=
           arguments.end();
}

}  // namespace

Request ParseCommandLine(const std::vector<std::string_view>& arguments) {
    if (arguments.empty()) {
        throw UsageError("a command is needed");
    }
    const Command* command = FindCommand(arguments[0]);
    if (!command) {
        throw UsageError(fmt::format("there is no command \"{}\"", arguments[0]));
    }
    const Arguments rest = Arguments(arguments).subspan(1);
    if (!command->usage.empty() && command->parse != ParseHelp && AsksForHelp(rest)) {
        return HelpRequest{std::string(command->name)};
    }
    try {
        return command->parse(rest);
    } catch (const UsageError& error) {
        throw UsageError(fmt::format("{}: {}", command->name, error.what()), command->name);
    }
}

std::string UsageText(std::string_view name) {
    if (const Command* command = FindCommand(name); command && !command->usage.empty()) {
        return UsageLines(*command, true);
    }
    std::string lines;
    for (const Command& command : kCommands) {
        if (!command.usage.empty()) {
            lines += UsageLines(command, lines.empty());
        }
    }
    return lines;
}

std::string HelpText(std::string_view name) {
    if (const Command* command = FindCommand(name); command && !command->usage.empty()) {
        return fmt::format("{}\n{}", UsageLines(*command, true), command->help);
    }
    std::string text = UsageText();
    for (const Command& command : kCommands) {
        if (!command.usage.empty()) {
            text += fmt::format("\n{}\n{}", command.name, Indented(command.help));
        }
    }
    return text;
}

}  // namespace velkor::device_tool
