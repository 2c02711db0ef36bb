#pragma once

#include "platform/System.h"
#include "backend/sim/DeviceInit.h"
#include "update/UpdateSettings.h"
#include "velkor-device/BootCommands.h"
#include "velkor-device/DryRunCommand.h"
#include "velkor-device/InitTargetCommand.h"
#include "velkor-device/InstallCommand.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace velkor::device_tool {

struct InitRequest {
    std::filesystem::path directory;
    sim::DeviceOptions options;
};

struct ShowRequest {
    std::filesystem::path directory;
};

struct CheckTargetRequest {
    std::filesystem::path file;
};

enum class CardLayout {
    Auto,    // the images under the names the auto-update detection looks for
    Manual,  // the images under their own names, and a settings file that picks them
};

// What signs a card's manifest: PEM files of the signing key (not encrypted), its certificate, and
// the intermediate certificates the signature carries.
struct CardSigning {
    std::filesystem::path key;
    std::filesystem::path certificate;
    std::optional<std::filesystem::path> chain;
};

struct CardRequest {
    std::filesystem::path out;
    // Auto unless --manual is given.
    CardLayout layout = CardLayout::Auto;
    // The image file of each row given.
    std::map<update::ImageKind, std::filesystem::path> images;
    // The device whose screen and flash regions the images must suit; the simulator's defaults
    // (with `screen` when given) otherwise.
    std::optional<std::filesystem::path> device;
    // The real device whose regions, storage card and trust the images must suit, instead.
    std::optional<std::filesystem::path> target;
    std::optional<platform::ScreenSize> screen;
    // Replaces an existing `out` that holds an earlier card.
    bool force = false;
    // The manifest's device family; the device's own with --device when not given.
    std::optional<std::string> compatible;
    // The manifest's version; needed to sign.
    std::optional<std::uint64_t> version;
    // Signs the manifest, when given.
    std::optional<CardSigning> signing;
};

// The usage of one command with its options, or with no command the usage of every command.
struct HelpRequest {
    std::string command;
};

struct VersionRequest {};

using Request = std::variant<InitRequest, ShowRequest, CheckTargetRequest, CardRequest, DryRunRequest,
                             InitTargetRequest, InstallRequest, BootSideRequest, HelpRequest, VersionRequest>;

// The request that the arguments after the program name make; `--help` (or `-h`) after a command
// asks for that command's help. Throws UsageError.
Request ParseCommandLine(const std::vector<std::string_view>& arguments);

// The usage lines of `command`, or of every command when it is empty or unknown.
std::string UsageText(std::string_view command = {});
// The usage lines and what the command and its options do; every command's with none named.
std::string HelpText(std::string_view command = {});

}  // namespace velkor::device_tool
