#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace velkor::device_tool {

// A real device as a few options describe it; host paths as given, made absolute when written.
struct InitTargetRequest {
    std::filesystem::path file;
    // Each region the device has ("boot", "logo", "os", "app"): one device, or two slots A and B.
    std::map<std::string, std::vector<std::filesystem::path>> regions;
    // The boot environment's two copies, each "DEVICE:OFFSET:SIZE"; needed with slots.
    std::vector<std::string> environment;
    // The kernel command line that names the booted slot; /proc/cmdline unless given.
    std::optional<std::filesystem::path> commandLine;
    std::optional<std::filesystem::path> data;
    std::optional<std::filesystem::path> dataMount;
    std::filesystem::path card;
    std::optional<std::filesystem::path> nand;
    std::filesystem::path log;
    std::optional<std::filesystem::path> keyring;
    std::optional<std::string> compatible;
    std::optional<std::filesystem::path> record;
    // Argument lists as one text each, split at spaces.
    std::optional<std::string> mountCommand;
    std::optional<std::string> unmountCommand;
    std::optional<std::string> restartCommand;
    bool force = false;
};

// Throws UsageError for options that do not go together.
void CheckInitTarget(const InitTargetRequest& request);

// Writes the target file and, beside it, its registry platform.reg, once the target file reads as
// the program reads it. Without a restart command the restart does nothing (`true`): the tool
// cannot tell the device from the machine that prepares it, and a workstation must not reboot when
// an install on loop devices asks the device to restart. The request has passed CheckInitTarget.
// Throws shared::DeviceError when a file exists (without force) or cannot be written.
void RunInitTarget(const InitTargetRequest& request, std::ostream& out);

}  // namespace velkor::device_tool
