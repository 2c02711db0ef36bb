#include "update/UpdateSequence.h"

#include "platform/DataVolume.h"

#include "platform/DeviceText.h"

#include <array>

namespace velkor::update {

// One row of the run, in the order the rows run.
struct UpdateSequence::Step {
    ImageKind kind;
    // The members follow the controls from the OS row on: its check box is read first.
    bool readsControls;
    // Its label shows "Waiting..." at once, before the members reach the controls.
    bool paintsAtOnce;
    // The flash stores' start-up logs go before this step.
    bool deletesStartupLogs;
    // Once this step succeeded the operator must restart, not leave.
    bool keepsExitDisabled;
};

namespace {

// Emptied at the start of a run, in this order; the other two change at the first data exchange.
constexpr std::array<ImageKind, 4> kLabelsClearedFirst{ImageKind::OS, ImageKind::Boot, ImageKind::Logo,
                                                       ImageKind::Reset};
// The start-up log in the storage manager's folder of each flash volume.
std::u16string StartupLog(std::u16string_view volume) {
    return std::u16string(volume) + u"\\" + std::u16string(platform::kStoreFolderName) + u"\\startup.log";
}
constexpr std::array<std::u16string_view, 2> kStartupLogVolumes{u"\\NandFlash", platform::kDataVolume};
constexpr std::uint32_t kPauseBeforeFormatMs = 300;

}  // namespace

const std::array<UpdateSequence::Step, 6>& UpdateSequence::Steps() {
    static constexpr std::array<Step, 6> kSteps{{
        {ImageKind::Logo, false, false, false, false},
        {ImageKind::Logo2, false, false, false, false},
        {ImageKind::Boot, false, false, false, false},
        {ImageKind::Reset, false, true, false, false},
        {ImageKind::OS, true, true, false, true},
        {ImageKind::App, false, false, true, true},
    }};
    return kSteps;
}

UpdateSequence::UpdateSequence(UpdateWindow& window, platform::System& system, platform::FileSystem& fileSystem)
    : window_(window), system_(system), fileSystem_(fileSystem) {}

void UpdateSequence::Run(const RowsGoOn& rowsGoOn, bool unattended) {
    const platform::UpdateStart start = window_.StartUpdate(unattended);
    if (start != platform::UpdateStart::Go) {
        window_.ShowMessage(start == platform::UpdateStart::AlreadyRunning ? kAlreadyRunningMessage
                                                                           : kNotStartedMessage);
        return;
    }
    Prepare();
    bool exitStaysDisabled = false;
    bool everyChosenRowSucceeded = true;
    bool stopped = false;
    for (const Step& step : Steps()) {
        const RowOutcome outcome = stopped ? LeaveRow(step) : RunRow(step);
        if (outcome == RowOutcome::Succeeded && step.keepsExitDisabled) {
            exitStaysDisabled = true;
        }
        if (outcome == RowOutcome::Failed) {
            everyChosenRowSucceeded = false;
            stopped = rowsGoOn && !rowsGoOn();
        }
        window_.UpdateData(false);
    }
    const bool committed = window_.CommitUpdate(everyChosenRowSucceeded);
    Finish(exitStaysDisabled, committed && everyChosenRowSucceeded);
}

std::vector<ImageKind> UpdateSequence::ChosenRows() {
    std::vector<ImageKind> chosen;
    bool flagsFollowBoxes = false;
    for (const Step& step : Steps()) {
        flagsFollowBoxes = flagsFollowBoxes || step.readsControls;
        const bool flagSet = flagsFollowBoxes || window_.Settings().Enabled(step.kind) != 0;
        if (flagSet && window_.IsChecked(step.kind) && window_.IsCheckBoxEnabled(step.kind)) {
            chosen.push_back(step.kind);
        }
    }
    return chosen;
}

void UpdateSequence::Prepare() {
    window_.StopRunningPrograms();
    for (const ImageKind kind : kLabelsClearedFirst) {
        window_.ClearStatusLabel(kind);
    }
    window_.SetWaitCursor(true);
    system_.Sleep(kPauseBeforeFormatMs);
    for (const CommandButton button : {CommandButton::Format, CommandButton::Update, CommandButton::Exit}) {
        window_.EnableButton(button, false);
    }
    window_.FormatDataVolume();
}

UpdateSequence::RowOutcome UpdateSequence::RunRow(const Step& step) {
    std::u16string& status = window_.Status(step.kind);
    if (!IsChosen(step)) {
        return LeaveRow(step);
    }
    if (step.deletesStartupLogs) {
        for (const std::u16string_view volume : kStartupLogVolumes) {
            fileSystem_.DeleteFile(StartupLog(volume));
        }
    }
    status = kWaitingText;
    if (step.paintsAtOnce) {
        window_.PaintStatus(step.kind);
    }
    window_.UpdateData(false);
    std::int64_t seconds = 0;
    const bool succeeded = TimedStep(step, seconds) == 1;
    status = succeeded ? platform::Format(kSucceedPattern, kSucceedText, static_cast<int>(seconds))
                       : std::u16string(kFailedText);
    return succeeded ? RowOutcome::Succeeded : RowOutcome::Failed;
}

UpdateSequence::RowOutcome UpdateSequence::LeaveRow(const Step& step) {
    window_.Status(step.kind).clear();
    return RowOutcome::NotChosen;
}

bool UpdateSequence::IsChosen(const Step& step) {
    const bool checked = window_.IsChecked(step.kind);
    if (step.readsControls) {
        window_.UpdateData(true);
    }
    return window_.Settings().Enabled(step.kind) != 0 && checked && window_.IsCheckBoxEnabled(step.kind);
}

int UpdateSequence::TimedStep(const Step& step, std::int64_t& seconds) {
    const std::int64_t start = system_.CurrentTime();
    const int result = window_.RunStep(step.kind);
    seconds = system_.CurrentTime() - start;
    return result;
}

void UpdateSequence::Finish(bool exitStaysDisabled, bool complete) {
    window_.EnableButton(CommandButton::Format, true);
    window_.EnableButton(CommandButton::Update, true);
    if (!exitStaysDisabled) {
        window_.EnableButton(CommandButton::Exit, true);
    }
    window_.FocusButton(CommandButton::Update);
    window_.SetWaitCursor(false);
    window_.ShowMessage(complete ? kFinalMessage : kIncompleteMessage);
}

}  // namespace velkor::update
