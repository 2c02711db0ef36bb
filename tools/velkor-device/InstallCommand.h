#pragma once

#include "velkor-device/DrivenDevice.h"
#include "velkor-device/InstallProgress.h"

#include <filesystem>
#include <ostream>

namespace velkor::device_tool {

struct InstallRequest {
    std::filesystem::path card;
    DeviceChoice where;
    ProgressForm progress = ProgressForm::Lines;
    // Restarts the device after an install that ended with the commit made.
    bool restart = false;
};

// How an install ended, its exit status.
enum class InstallOutcome {
    Installed = 0,     // every chosen row succeeded and the commit was made
    CardRefused = 3,   // the card chooses no row, or the device does not take it: nothing happened
    RowFailed = 4,     // a row failed
    CommitNotMade = 5, // every row succeeded, but the commit point did not commit
    NotStarted = 6,     // the device could not keep a bootable, confirmed fallback: nothing happened
    AlreadyRunning = 7, // an AutoUpdate card whose release the device already runs, confirmed: nothing happened
};

// The update the operator's program runs when the card CARD is in the device, run without a
// window on the device's own platform: the card is copied onto the device's storage card (unless
// it is that folder), the rows chosen as the program chooses them, the card checked, the sibling
// programs closed, the data volume formatted, the rows written and the commit made, with the same
// logs. Each row's progress goes to `out` as it happens (with ProgressForm::Json, `out` gets
// nothing else), the operator's messages to `messages`. Throws shared::DeviceError when the device
// cannot be used or another program drives it, before anything happened.
InstallOutcome RunInstall(const InstallRequest& request, std::ostream& out, std::ostream& messages);

}  // namespace velkor::device_tool
