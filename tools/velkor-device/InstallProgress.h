#pragma once

#include "platform/FileSystem.h"
#include "update/UpdateSettings.h"
#include "velkor-device/DryRunWindow.h"

#include <ostream>

namespace velkor::device_tool {

enum class ProgressForm {
    Lines,  // a line for a person as each row begins and ends
    Json,   // one JSON object a line: {"row": "OS", "bytesDone": 0, "bytesTotal": 262144, "state": "running"}
};

// What an install tells of its rows while it runs: each row as it begins (no byte written yet, the
// image's length the total) and as it ends (the whole image done when the row succeeded, none when
// it failed), flushed at once so that a script reading it follows the run.
class InstallProgress {
public:
    InstallProgress(ProgressForm form, const update::UpdateSettings& settings, platform::FileSystem& files,
                    std::ostream& out);

    // A DryRunWindow::StageObserver.
    void operator()(const DryRunWindow::Stage& stage, bool finished);

private:
    // The row's image length, 0 when the image cannot be found.
    std::uint64_t ImageBytes(update::ImageKind kind) const;

    ProgressForm form_;
    const update::UpdateSettings& settings_;
    platform::FileSystem& files_;
    std::ostream& out_;
};

}  // namespace velkor::device_tool
