#pragma once

#include <filesystem>
#include <ostream>

namespace velkor::device_tool {

struct DryRunRequest {
    std::filesystem::path card;
    std::filesystem::path device;
};

// What the card would do to the device. The device is checked as the updater checks it, and the
// card must choose a row by itself; then the device is copied into a scratch device, the card
// copied onto its storage card as the engineer copies it (whatever the card does not replace
// stays), and the program's own update run there without a screen, as the main window runs it
// (by itself for a card with an AutoUpdate folder, otherwise the settings file's rows as if Update
// were pressed). Prints warnings (files an earlier card left that the run uses, images the device
// would take badly), every stage of the run with the log lines it wrote, and removes the scratch
// device, also when interrupted; the device itself is never changed. True when every row meant to
// run succeeded. Throws shared::DeviceError when the device or the card cannot be used, or the card
// chooses no row.
bool RunDryRun(const DryRunRequest& request, std::ostream& out);

}  // namespace velkor::device_tool
