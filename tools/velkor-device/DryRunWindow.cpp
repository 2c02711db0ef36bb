#include "velkor-device/DryRunWindow.h"

#include "storage/DataVolumeFormat.h"
#include "update/ImageSteps.h"
#include "update/ProgramStopper.h"

#include <algorithm>
#include <fstream>

namespace velkor::device_tool {
namespace {

using update::ImageKind;

// A log's lines without their date and time.
std::vector<std::string> LogTexts(const std::filesystem::path& log) {
    std::vector<std::string> texts;
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) {
        const std::size_t timeEnd = line.find(' ', line.find(' ') + 1);
        texts.push_back(timeEnd == std::string::npos ? line : line.substr(timeEnd + 1));
    }
    return texts;
}

}  // namespace

DryRunWindow::DryRunWindow(platform::Platform& platform, update::UpdateSettings settings,
                           std::vector<std::filesystem::path> logs, const InterruptGuard& interrupts,
                           StageObserver observer)
    : platform_(platform),
      settings_(std::move(settings)),
      logs_(std::move(logs)),
      interrupts_(interrupts),
      observer_(std::move(observer)) {}

bool DryRunWindow::CommitMade() const {
    const auto commit = std::find_if(stages_.begin(), stages_.end(),
                                     [](const Stage& stage) { return stage.kind == StageKind::Commit; });
    return commit != stages_.end() && commit->answer == 1;
}

std::u16string DryRunWindow::StatusOf(ImageKind kind) const {
    const auto status = statuses_.find(kind);
    return status != statuses_.end() ? status->second : std::u16string();
}

void DryRunWindow::Record(Stage& stage, const std::function<void()>& action) {
    interrupts_.Check();
    std::vector<std::size_t> before(logs_.size());
    std::transform(logs_.begin(), logs_.end(), before.begin(), [](const auto& log) { return LogTexts(log).size(); });
    if (observer_) {
        observer_(stage, false);
    }
    action();
    for (std::size_t index = 0; index < logs_.size(); ++index) {
        const std::vector<std::string> after = LogTexts(logs_[index]);
        stage.logLines.insert(stage.logLines.end(),
                              after.begin() + static_cast<std::ptrdiff_t>(std::min(before[index], after.size())),
                              after.end());
    }
    if (observer_) {
        observer_(stage, true);
    }
}

DryRunWindow::Stage& DryRunWindow::RowStage(ImageKind kind) {
    const auto stage = std::find_if(stages_.begin(), stages_.end(), [&](const Stage& known) {
        return known.kind == StageKind::Row && known.row == kind;
    });
    return stage != stages_.end() ? *stage : stages_.emplace_back(Stage{StageKind::Row, kind, {}, {}});
}

platform::UpdateStart DryRunWindow::StartUpdate(bool unattended) {
    Stage& stage = stages_.emplace_back(Stage{StageKind::Start, {}, {}, {}});
    Record(stage, [&] { startAnswer_ = platform_.deviceIo.StartUpdate(unattended); });
    if (startAnswer_ == platform::UpdateStart::Go && stage.logLines.empty()) {
        stages_.pop_back();
    }
    return startAnswer_;
}

void DryRunWindow::StopRunningPrograms() {
    Record(stages_.emplace_back(Stage{StageKind::Programs, {}, {}, {}}),
           [this] { update::StopRunningPrograms(platform_.windows, platform_.windows.MainWindow()); });
}

void DryRunWindow::FormatDataVolume() {
    Record(stages_.emplace_back(Stage{StageKind::DataVolume, {}, {}, {}}),
           [this] { storage::FormatDataVolume(platform_); });
}

int DryRunWindow::RunStep(ImageKind kind) {
    Stage& stage = RowStage(kind);
    Record(stage, [&] { stage.answer = update::RunImageStep(platform_, settings_, kind); });
    return *stage.answer;
}

bool DryRunWindow::CommitUpdate(bool wholeUpdate) {
    Stage& stage = stages_.emplace_back(Stage{StageKind::Commit, {}, {}, {}});
    Record(stage, [&] {
        commitAnswer_ = update::CommitUpdate(platform_, wholeUpdate);
        stage.answer = commitAnswer_;
    });
    return commitAnswer_ != 0;
}

std::optional<trust::CardRefusal> DryRunWindow::CheckCard(trust::CardGate& gate, std::u16string_view cardRoot,
                                                        const std::vector<ImageKind>& rows) {
    std::optional<trust::CardRefusal> refusal;
    Record(stages_.emplace_back(Stage{StageKind::Card, {}, {}, {}}),
           [&] { refusal = gate.Check(cardRoot, rows, settings_); });
    return refusal;
}

std::u16string& DryRunWindow::Status(ImageKind kind) {
    RowStage(kind);
    return statuses_[kind];
}

bool DryRunWindow::IsChecked(ImageKind kind) {
    return settings_.Enabled(kind) != 0 || (kind == ImageKind::Reset && settings_.Enabled(ImageKind::Boot) != 0);
}

bool DryRunWindow::IsCheckBoxEnabled(ImageKind) { return true; }

void DryRunWindow::UpdateData(bool) {}

void DryRunWindow::ClearStatusLabel(ImageKind) {}

void DryRunWindow::PaintStatus(ImageKind) {}

void DryRunWindow::EnableButton(update::CommandButton, bool) {}

void DryRunWindow::FocusButton(update::CommandButton) {}

void DryRunWindow::SetWaitCursor(bool) {}

}  // namespace velkor::device_tool
