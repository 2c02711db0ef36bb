#pragma once

#include "platform/Platform.h"
#include "trust/CardGate.h"
#include "update/UpdateSettings.h"
#include "update/UpdateWindow.h"
#include "velkor-device/InterruptGuard.h"

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velkor::device_tool {

// The main window as an update run meets it, without a screen (for a dry run and for an install):
// the boxes stand as the window sets them from the rows' flags, the work is the program's own over
// the device's platform, and what the run shows (each row's status, the final message) and writes
// to the logs given is kept for the report, stage by stage in the order the run reached them; an
// observer hears each stage begin and end as it happens. An interrupt noted by `interrupts` stops
// the run before its next stage.
class DryRunWindow : public update::UpdateWindow {
public:
    enum class StageKind { Card, Start, Programs, DataVolume, Row, Commit };
    struct Stage {
        StageKind kind;
        // The row, for a Row stage.
        update::ImageKind row = update::ImageKind::OS;
        // The lines the logs got while the stage ran.
        std::vector<std::string> logLines;
        // What the platform answered, for a Row or Commit stage that ran, and for a Start stage.
        std::optional<int> answer;
    };
    // Told of a stage before it runs (`finished` false) and after.
    using StageObserver = std::function<void(const Stage& stage, bool finished)>;

    // `logs`: the device's log files whose new lines each stage keeps (none for no lines).
    DryRunWindow(platform::Platform& platform, update::UpdateSettings settings,
                 std::vector<std::filesystem::path> logs, const InterruptGuard& interrupts,
                 StageObserver observer = {});

    const std::vector<Stage>& Stages() const { return stages_; }
    // The commit point's answer (1 until the run reaches it).
    int CommitAnswer() const { return commitAnswer_; }
    // The device's word before the run (Go until the run asks).
    platform::UpdateStart StartAnswer() const { return startAnswer_; }
    // Whether the run reached the commit point and the platform made the commit.
    bool CommitMade() const;
    const std::u16string& FinalMessage() const { return message_; }
    const update::UpdateSettings& Settings() const { return settings_; }
    std::u16string StatusOf(update::ImageKind kind) const;

    // The card checked before the run, as the main window checks it when Update is pressed: `rows`
    // are the rows the run will carry out. Nothing when the card is accepted.
    std::optional<trust::CardRefusal> CheckCard(trust::CardGate& gate, std::u16string_view cardRoot,
                                                const std::vector<update::ImageKind>& rows);

    // A Start stage is kept only when the device does not take the update, or says why it does.
    platform::UpdateStart StartUpdate(bool unattended) override;
    void StopRunningPrograms() override;
    void FormatDataVolume() override;
    int RunStep(update::ImageKind kind) override;
    bool CommitUpdate(bool wholeUpdate) override;
    // The window ticks each row whose flag is set, and Reset with Boot.
    bool IsChecked(update::ImageKind kind) override;
    bool IsCheckBoxEnabled(update::ImageKind kind) override;
    void UpdateData(bool saveAndValidate) override;
    update::UpdateSettings& Settings() override { return settings_; }
    // The run takes every row's status first, in the order it takes the rows, so that is when a row's
    // stage begins.
    std::u16string& Status(update::ImageKind kind) override;
    void ClearStatusLabel(update::ImageKind kind) override;
    void PaintStatus(update::ImageKind kind) override;
    void EnableButton(update::CommandButton button, bool enabled) override;
    void FocusButton(update::CommandButton button) override;
    void SetWaitCursor(bool shown) override;
    void ShowMessage(std::u16string_view text) override { message_ = text; }

private:
    // Runs `action` and adds the log lines it wrote to `stage`.
    void Record(Stage& stage, const std::function<void()>& action);
    Stage& RowStage(update::ImageKind kind);

    platform::Platform& platform_;
    update::UpdateSettings settings_;
    std::vector<std::filesystem::path> logs_;
    const InterruptGuard& interrupts_;
    StageObserver observer_;
    std::vector<Stage> stages_;
    std::map<update::ImageKind, std::u16string> statuses_;
    platform::UpdateStart startAnswer_ = platform::UpdateStart::Go;
    int commitAnswer_ = 1;
    std::u16string message_;
};

}  // namespace velkor::device_tool
