#pragma once

#include "platform/Platform.h"
#include "trust/CardCheck.h"
#include "velkor-device/DryRunCommand.h"
#include "velkor-device/DryRunWindow.h"

#include <ostream>
#include <string>
#include <vector>

namespace velkor::device_tool {

// What a dry run did, for its report.
struct DryRunOutcome {
    const DryRunRequest& request;
    // The card's AutoUpdate folder chose the rows.
    bool unattended;
    const std::vector<std::string>& warnings;
    const DryRunWindow& window;
    // The scratch device after the run, asked why a second logo failed when its logs do not say.
    platform::Platform& platform;
    // The card the check vouched for, when it has a manifest.
    const std::optional<trust::CheckedCard>& card;
    // Why the device would refuse the card; the run did not start then.
    std::optional<trust::CardRefusal> refusal;
};

// Prints the warnings, then each stage in the order it ran (the card's check with what it verified,
// the sibling programs stopped, the data volume formatted, the six rows) with the log lines it
// wrote, then the final message. True when the card was accepted and every row meant to run
// succeeded.
bool PrintDryRun(const DryRunOutcome& outcome, std::ostream& out);

}  // namespace velkor::device_tool
