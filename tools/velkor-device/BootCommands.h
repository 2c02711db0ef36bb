#pragma once

#include <filesystem>
#include <optional>
#include <ostream>

namespace velkor::device_tool {

enum class BootCommand {
    EnvInit,   // provisions the boot environment
    Boot,      // plays the boot loader on a simulated device
    MarkGood,  // what the booted system runs once it is up
};

// A command of the boot side, on a simulated device or on the real device of a target file.
struct BootSideRequest {
    BootCommand command = BootCommand::Boot;
    std::optional<std::filesystem::path> device;
    std::optional<std::filesystem::path> target;
    // env-init: the environment to start from when neither copy holds a valid one.
    std::optional<std::filesystem::path> defaults;
};

// Carries the command out and prints what it did. Throws shared::DeviceError when it cannot, the
// environment left as it was: no two-slot regions, a bad environment, no slot with tries left (for
// boot), a booted slot that cannot be told (for mark-good).
void RunBootSide(const BootSideRequest& request, std::ostream& out);

}  // namespace velkor::device_tool
