#include "velkor-device/InstallCommand.h"

#include "backend/shared/DeviceError.h"
#include "mainwnd/CardRefusalMessage.h"
#include "platform/DeviceText.h"
#include "trust/BuildTime.h"
#include "trust/CardGate.h"
#include "ui/UiStrings.h"
#include "update/UpdateSequence.h"
#include "velkor-device/CardChoice.h"
#include "velkor-device/CardCopy.h"
#include "velkor-device/DryRunWindow.h"
#include "velkor-device/InterruptGuard.h"
#include "velkor-device/StorageCardFolder.h"

#include <QGuiApplication>

#include <fmt/format.h>
#include <fmt/std.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>

namespace velkor::device_tool {
namespace {

namespace fs = std::filesystem;
using platform::ToUtf8;

std::u16string CardFolderOf(DrivenDevice& device) {
    platform::Platform& platform = device.Platform();
    const std::optional<std::u16string> folder = StorageCardFolder(platform.registry, platform.fileSystem);
    if (!folder) {
        throw shared::DeviceError(fmt::format("the device {} has no storage card to put the card on", device.Name()));
    }
    return *folder;
}

// As the engineer puts the card in: its files onto the device's storage card, whatever they do not
// replace staying; nothing to copy when the card is the storage card itself.
void PutCardIn(const fs::path& card, DrivenDevice& device, std::u16string_view cardFolder) {
    const std::optional<fs::path> storageCard = device.HostFolder(cardFolder);
    if (!storageCard) {
        throw shared::DeviceError(fmt::format("the device {} has no folder for its storage card {}", device.Name(),
                                              ToUtf8(cardFolder)));
    }
    std::error_code differs;
    if (!fs::equivalent(card, *storageCard, differs)) {
        CopyCardOnto(card, *storageCard);
    }
}

// A real device's screen, which the second logo must fit, is the one Qt finds, as for the updater
// (QT_QPA_PLATFORM=linuxfb on the device); without any display, Qt's offscreen screen stands in.
class ScreenSession {
public:
    explicit ScreenSession(const DeviceChoice& where) {
        if (!where.target) {
            return;
        }
        if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
            ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        }
        application_ = std::make_unique<QGuiApplication>(argumentCount_, arguments_.data());
    }

private:
    std::string name_ = "velkor-device";
    int argumentCount_ = 1;
    std::array<char*, 2> arguments_{name_.data(), nullptr};
    std::unique_ptr<QGuiApplication> application_;
};

InstallOutcome Outcome(const DryRunWindow& window) {
    switch (window.StartAnswer()) {
        case platform::UpdateStart::Refused:
            return InstallOutcome::NotStarted;
        case platform::UpdateStart::AlreadyRunning:
            return InstallOutcome::AlreadyRunning;
        case platform::UpdateStart::Go:
            break;
    }
    const std::vector<DryRunWindow::Stage>& stages = window.Stages();
    const bool rowFailed = std::any_of(stages.begin(), stages.end(), [](const DryRunWindow::Stage& stage) {
        return stage.kind == DryRunWindow::StageKind::Row && stage.answer && *stage.answer != 1;
    });
    if (rowFailed) {
        return InstallOutcome::RowFailed;
    }
    return window.CommitMade() ? InstallOutcome::Installed : InstallOutcome::CommitNotMade;
}

std::string_view OutcomeText(InstallOutcome outcome) {
    switch (outcome) {
        case InstallOutcome::Installed:
            return "installed: every row succeeded and the commit was made";
        case InstallOutcome::CardRefused:
            return "not installed: the card was refused before anything happened";
        case InstallOutcome::NotStarted:
            return "not installed: the device did not start the update, and nothing happened";
        case InstallOutcome::AlreadyRunning:
            return "nothing to install: the device already runs this card's release, confirmed";
        case InstallOutcome::RowFailed:
            return "not installed: a row failed";
        case InstallOutcome::CommitNotMade:
            return "not installed: every row succeeded, but the commit was not made";
    }
    return {};
}

InstallOutcome Refused(std::string_view why, std::ostream& messages) {
    messages << why << '\n' << OutcomeText(InstallOutcome::CardRefused) << '\n';
    return InstallOutcome::CardRefused;
}

}  // namespace

InstallOutcome RunInstall(const InstallRequest& request, std::ostream& out, std::ostream& messages) {
    const InterruptGuard interrupts;
    const ScreenSession screen(request.where);
    DrivenDevice device(request.where);
    platform::Platform& platform = device.Platform();
    const std::u16string cardFolder = CardFolderOf(device);
    if (!fs::is_directory(request.card)) {
        throw shared::DeviceError(fmt::format("the card {} is not a folder", request.card));
    }
    PutCardIn(request.card, device, cardFolder);
    const CardChoice choice = ChooseOnDevice(platform, cardFolder);
    if (!choice.ChoosesARow()) {
        return Refused(fmt::format("the card {} chooses no row on {}", request.card, device.Name()), messages);
    }

    InstallProgress progress(request.progress, choice.settings, platform.fileSystem, out);
    DryRunWindow window(platform, choice.settings, {}, interrupts, std::ref(progress));
    update::UpdateSequence sequence(window, platform.system, platform.fileSystem);
    trust::CardGate gate(platform, trust::ProgramBuildTime());
    if (const auto refusal = window.CheckCard(gate, cardFolder, sequence.ChosenRows())) {
        return Refused(ToUtf8(mainwnd::CardRefusalMessage(ui::UiStrings(), *refusal)), messages);
    }
    sequence.Run([&gate] { return gate.RowsGoOn(); }, choice.unattended);
    messages << ToUtf8(window.FinalMessage()) << '\n';
    const InstallOutcome outcome = Outcome(window);
    messages << OutcomeText(outcome) << '\n';
    if (outcome == InstallOutcome::Installed && request.restart && !platform.system.RequestRestart()) {
        throw shared::DeviceError(fmt::format("the device {} did not restart (error {})", device.Name(),
                                              platform.system.GetLastError()));
    }
    return outcome;
}

}  // namespace velkor::device_tool
