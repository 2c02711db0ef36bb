#pragma once

#include "platform/Platform.h"
#include "update/UpdateSettings.h"
#include "update/UpdateWindow.h"

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace velkor::device_tool {

// The main window as an update run meets it, without a screen: the boxes stand as the window
// sets them from the rows' flags, the steps are the program's own over the device's platform,
// and what the run shows (each row's status, the final message) and writes to the device's logs
// while each row runs is kept for the report.
class DryRunWindow : public update::UpdateWindow {
public:
    struct Row {
        std::u16string status;
        // The lines debug.log and events.log got while the row ran.
        std::vector<std::string> logLines;
    };

    DryRunWindow(platform::Platform& platform, update::UpdateSettings settings, std::filesystem::path device);

    // The commit point's answer and the lines the logs got from it.
    struct Commit {
        int answer = 1;
        std::vector<std::string> logLines;
    };

    const std::map<update::ImageKind, Row>& Rows() const { return rows_; }
    const Commit& CommitResult() const { return commit_; }
    const std::u16string& FinalMessage() const { return message_; }

    void StopRunningPrograms() override;
    void FormatDataVolume() override;
    int RunStep(update::ImageKind kind) override;
    void CommitUpdate() override;
    // The window ticks each row whose flag is set, and Reset with Boot.
    bool IsChecked(update::ImageKind kind) override;
    bool IsCheckBoxEnabled(update::ImageKind kind) override;
    void UpdateData(bool saveAndValidate) override;
    update::UpdateSettings& Settings() override { return settings_; }
    std::u16string& Status(update::ImageKind kind) override { return rows_[kind].status; }
    void ClearStatusLabel(update::ImageKind kind) override;
    void PaintStatus(update::ImageKind kind) override;
    void EnableButton(update::CommandButton button, bool enabled) override;
    void FocusButton(update::CommandButton button) override;
    void SetWaitCursor(bool shown) override;
    void ShowMessage(std::u16string_view text) override { message_ = text; }

private:
    // Runs `step` and adds the lines debug.log and events.log got meanwhile to `lines`.
    int CaptureLogLines(const std::function<int()>& step, std::vector<std::string>& lines) const;

    platform::Platform& platform_;
    update::UpdateSettings settings_;
    std::filesystem::path device_;
    std::map<update::ImageKind, Row> rows_;
    Commit commit_;
    std::u16string message_;
};

}  // namespace velkor::device_tool
