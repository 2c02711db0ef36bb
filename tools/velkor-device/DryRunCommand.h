#pragma once

#include <filesystem>
#include <ostream>

namespace velkor::device_tool {

struct DryRunRequest {
    std::filesystem::path card;
    std::filesystem::path device;
};

// What the card would do to the device: the device is copied into a scratch device, the card put
// on its storage card, and the program's own update run there without a screen, as the main window
// runs it (by itself for a card with an AutoUpdate folder, otherwise the settings file's rows as if
// Update were pressed). Prints each row's final status with the log lines it wrote, and removes the
// scratch device; the device itself is never changed. True when every row meant to run succeeded.
// Throws shared::DeviceError when the device or the card cannot be used.
bool RunDryRun(const DryRunRequest& request, std::ostream& out);

}  // namespace velkor::device_tool
