#include "velkor-device/DryRunWindow.h"

#include "backend/sim/DeviceFiles.h"
#include "storage/DataVolumeFormat.h"
#include "update/ImageSteps.h"
#include "update/ProgramStopper.h"

#include <algorithm>
#include <array>
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
                           std::filesystem::path device)
    : platform_(platform), settings_(std::move(settings)), device_(std::move(device)) {}

void DryRunWindow::StopRunningPrograms() {
    update::StopRunningPrograms(platform_.windows, platform_.windows.MainWindow());
}

void DryRunWindow::FormatDataVolume() { storage::FormatDataVolume(platform_); }

int DryRunWindow::RunStep(ImageKind kind) {
    return CaptureLogLines([&] { return update::RunImageStep(platform_, settings_, kind); }, rows_[kind].logLines);
}

void DryRunWindow::CommitUpdate() {
    commit_.answer = CaptureLogLines([&] { return update::CommitUpdate(platform_); }, commit_.logLines);
}

int DryRunWindow::CaptureLogLines(const std::function<int()>& step, std::vector<std::string>& lines) const {
    const std::array logs{device_ / sim::device_files::kDebugLog, device_ / sim::device_files::kEventsLog};
    std::array<std::size_t, 2> before{};
    std::transform(logs.begin(), logs.end(), before.begin(), [](const auto& log) { return LogTexts(log).size(); });
    const int answer = step();
    for (std::size_t index = 0; index < logs.size(); ++index) {
        const std::vector<std::string> after = LogTexts(logs[index]);
        lines.insert(lines.end(), after.begin() + static_cast<std::ptrdiff_t>(std::min(before[index], after.size())),
                     after.end());
    }
    return answer;
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
