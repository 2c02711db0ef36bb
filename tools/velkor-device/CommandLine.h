#pragma once

#include "platform/System.h"
#include "backend/sim/DeviceInit.h"
#include "update/UpdateSettings.h"
#include "velkor-device/BootCommands.h"
#include "velkor-device/DryRunCommand.h"

#include <filesystem>
#include <map>
#include <optional>
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

struct CardRequest {
    std::filesystem::path out;
    CardLayout layout = CardLayout::Auto;
    // The image file of each row given.
    std::map<update::ImageKind, std::filesystem::path> images;
    // The device whose screen and flash regions the images must suit; the simulator's defaults
    // (with `screen` when given) otherwise.
    std::optional<std::filesystem::path> device;
    std::optional<platform::ScreenSize> screen;
    // Replaces an existing `out`.
    bool force = false;
};

struct HelpRequest {};

struct VersionRequest {};

using Request = std::variant<InitRequest, ShowRequest, CheckTargetRequest, CardRequest, DryRunRequest,
                             BootSideRequest, HelpRequest, VersionRequest>;

// The request that the arguments after the program name make. Throws UsageError.
Request ParseCommandLine(const std::vector<std::string_view>& arguments);

std::string_view UsageText();

}  // namespace velkor::device_tool
