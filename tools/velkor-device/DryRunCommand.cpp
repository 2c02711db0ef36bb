#include "velkor-device/DryRunCommand.h"

#include "backend/shared/DeviceError.h"
#include "mainwnd/AutoUpdateDetection.h"
#include "mainwnd/CSettingsFile.h"
#include "mainwnd/CUpdateDialog.h"
#include "mainwnd/SettingsEntries.h"
#include "mainwnd/StorageCardSearch.h"
#include "platform/DeviceText.h"
#include "backend/sim/DeviceFiles.h"
#include "backend/sim/SimPlatform.h"
#include "update/UpdateSequence.h"
#include "velkor-device/DryRunWindow.h"
#include "velkor-device/ScratchFolder.h"

#include <fmt/format.h>
#include <fmt/std.h>

#include <array>

namespace velkor::device_tool {
namespace {

namespace fs = std::filesystem;
using update::ImageKind;

// The rows in the order the main window shows them.
constexpr std::array kRows{ImageKind::Logo, ImageKind::Logo2, ImageKind::Boot,
                           ImageKind::OS,   ImageKind::App,   ImageKind::Reset};

// The scratch device: a copy of the device with the card's contents as its storage card.
void PrepareScratch(const DryRunRequest& request, const fs::path& scratch) {
    std::error_code failure;
    if (!fs::is_directory(request.card, failure)) {
        throw shared::DeviceError(fmt::format("{} is not a card: there is no such folder", request.card));
    }
    fs::copy(request.device, scratch, fs::copy_options::recursive, failure);
    if (failure) {
        throw shared::DeviceError(fmt::format("cannot copy the device {}: {}", request.device, failure.message()));
    }
}

void PutCard(const fs::path& card, const fs::path& cardFolder) {
    fs::remove_all(cardFolder);
    fs::copy(card, cardFolder, fs::copy_options::recursive);
}

// The rows as the main window chooses them at start-up: the card's AutoUpdate folder, else the
// settings file. True for an unattended update.
bool ChooseRows(platform::Platform& platform, const std::u16string& card, update::UpdateSettings& settings) {
    const std::u16string autoUpdate = card + u"\\" + std::u16string(mainwnd::kAutoUpdateFolder) + u"\\";
    if (mainwnd::DetectAutoUpdate(platform.fileSystem, autoUpdate, settings)) {
        return true;
    }
    platform::StringArray entries;
    mainwnd::CSettingsFile(platform.fileSystem, std::u16string(mainwnd::kSettingsPath)).ReadEntries(entries);
    mainwnd::ApplySettingsEntries(entries, settings);
    return false;
}

// Why the second logo was not copied when the logs do not say: it must be a bitmap of the screen's size.
std::string SecondLogoReason(platform::Platform& platform, const update::UpdateSettings& settings) {
    const platform::ScreenSize screen = platform.system.GetScreenSize();
    const std::unique_ptr<platform::Bitmap> logo = platform.bitmapLoader.LoadDIBitmap(settings.logo2Path);
    if (!logo) {
        return "the second logo is not a bitmap the device can decode";
    }
    return fmt::format("the second logo is {} x {}, the screen {} x {}", logo->Width(), logo->Height(), screen.width,
                       screen.height);
}

// Prints the rows; true when every row meant to run succeeded.
bool PrintRows(const DryRunWindow& window, const update::UpdateSettings& settings, platform::Platform& platform,
               std::ostream& out) {
    bool allSucceeded = true;
    for (const ImageKind kind : kRows) {
        const auto row = window.Rows().find(kind);
        const std::string status =
            row != window.Rows().end() && !row->second.status.empty() ? platform::ToUtf8(row->second.status) : "not run";
        const bool meant = settings.Enabled(kind) != 0;
        allSucceeded = allSucceeded && (!meant || status.starts_with(platform::ToUtf8(update::kSucceedText)));
        out << fmt::format("  {:<6} {}{}\n", update::ImageKindName(kind), status, meant ? "" : " (not chosen)");
        std::vector<std::string> reasons = row != window.Rows().end() ? row->second.logLines : std::vector<std::string>{};
        if (kind == ImageKind::Logo2 && status == platform::ToUtf8(update::kFailedText) && reasons.empty()) {
            reasons.push_back(SecondLogoReason(platform, settings));
        }
        for (const std::string& reason : reasons) {
            out << "           " << reason << '\n';
        }
    }
    // Only a device with two-slot regions has anything to commit, and says so in its logs.
    const DryRunWindow::Commit& commit = window.CommitResult();
    if (!commit.logLines.empty()) {
        out << fmt::format("  Commit {}\n", commit.answer != 0 ? "done" : "not made");
        for (const std::string& line : commit.logLines) {
            out << "           " << line << '\n';
        }
    }
    return allSucceeded && commit.answer != 0;
}

}  // namespace

bool RunDryRun(const DryRunRequest& request, std::ostream& out) {
    const ScratchFolder scratch(fs::temp_directory_path() / "velkor", "dry-run");
    const fs::path device = scratch.Path() / "device";
    PrepareScratch(request, device);
    sim::SimPlatform simulated(device);
    platform::Platform& platform = simulated.platform();
    const std::u16string card = mainwnd::FindStorageCard(platform.registry, platform.fileSystem);
    if (card.empty()) {
        throw shared::DeviceError(fmt::format("the device {} has no storage card to put the card on", request.device));
    }
    PutCard(request.card, device / sim::device_files::kRoot / platform::ToUtf8(card.substr(1)));

    update::UpdateSettings settings;
    const bool unattended = ChooseRows(platform, card, settings);
    DryRunWindow window(platform, settings, device);
    update::UpdateSequence(window, platform.system, platform.fileSystem).Run();

    out << fmt::format("Dry run of the card {} on a copy of the device {} ({}):\n", request.card, request.device,
                       unattended ? "an unattended update" : "the settings file's rows, as if Update were pressed");
    const bool succeeded = PrintRows(window, settings, platform, out);
    out << fmt::format("The final message: \"{}\". The device itself is unchanged.\n",
                       platform::ToUtf8(window.FinalMessage()));
    return succeeded;
}

}  // namespace velkor::device_tool
