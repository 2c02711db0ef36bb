#include "velkor-device/DryRunCommand.h"

#include "backend/shared/DeviceError.h"
#include "backend/sim/DeviceFiles.h"
#include "backend/sim/SimPlatform.h"
#include "mainwnd/AutoUpdateDetection.h"
#include "mainwnd/CUpdateDialog.h"
#include "mainwnd/CardRefusalMessage.h"
#include "mainwnd/SettingsEntries.h"
#include "platform/DeviceText.h"
#include "trust/BuildTime.h"
#include "trust/CardGate.h"
#include "ui/UiStrings.h"
#include "update/UpdateSequence.h"
#include "velkor-device/CardCopy.h"
#include "velkor-device/CardFolder.h"
#include "velkor-device/DiskRoom.h"
#include "velkor-device/DryRunReport.h"
#include "velkor-device/DryRunWindow.h"
#include "velkor-device/ImageChecks.h"
#include "velkor-device/InterruptGuard.h"
#include "velkor-device/ScratchFolder.h"
#include "velkor-device/StorageCardFolder.h"

#include <fmt/format.h>
#include <fmt/ranges.h>
#include <fmt/std.h>

namespace velkor::device_tool {
namespace {

namespace fs = std::filesystem;
using platform::ToUtf8;

// The storage card's folder on the device, as the updater finds it (or where a card appears).
std::u16string CardFolderOf(sim::SimPlatform& device, const fs::path& directory) {
    platform::Platform& platform = device.platform();
    const std::optional<std::u16string> folder = StorageCardFolder(platform.registry, platform.fileSystem);
    if (!folder) {
        throw shared::DeviceError(fmt::format("the device {} has no storage card to put the card on", directory));
    }
    return *folder;
}

// "this card chooses no row:" and a line for each reason.
std::string NoRowMessage(CardFolder& card, sim::SimPlatform& device, std::u16string_view cardFolder) {
    std::vector<std::string> reasons = card.WhyNoRow();
    if (ChooseOnDevice(device.platform(), cardFolder).ChoosesARow()) {
        reasons.push_back(fmt::format(
            "the device's storage card {} still holds an earlier card, which an update would run instead",
            ToUtf8(cardFolder)));
    }
    return fmt::format("this card chooses no row:\n  {}", fmt::join(reasons, "\n  "));
}

// Checked before the copy begins, so that a full disk is named as such.
void CheckRoomForCopy(const DryRunRequest& request, const fs::path& folder) {
    const std::uintmax_t bytes = BytesBelow(request.device) + BytesBelow(request.card);
    if (std::optional<std::string> problem = RoomProblem(folder, bytes, "the copy of the device")) {
        throw shared::DeviceError(*problem);
    }
}

void CopyDevice(const DryRunRequest& request, const fs::path& copy) {
    std::error_code failure;
    fs::copy(request.device, copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks, failure);
    if (failure) {
        throw shared::DeviceError(fmt::format("cannot copy the device {}: {}", request.device,
                                              IsDiskFull(failure, copy)
                                                  ? fmt::format("the disk that holds {} is full", copy.parent_path())
                                                  : failure.message()));
    }
}

// Files of the device's storage card that the card did not replace, and that the run uses.
std::vector<std::string> Leftovers(CardFolder& card, const CardChoice& alone, const CardChoice& merged,
                                   platform::FileSystem& files) {
    std::vector<std::string> warnings;
    if (merged.unattended && !alone.unattended) {
        warnings.push_back(fmt::format("the device's storage card still holds images in its {} folder, so the "
                                       "update runs by itself and never reads the card's settings file",
                                       ToUtf8(mainwnd::kAutoUpdateFolder)));
    }
    for (const update::ImageKind kind : mainwnd::kSettingsFileOrder) {
        const std::u16string* path = merged.settings.Path(kind);
        if (merged.settings.Enabled(kind) != 0 && path && card.LeavesToEarlierCard(*path) &&
            files.GetAttributes(*path) != platform::kInvalidFileAttributes) {
            warnings.push_back(fmt::format("{} is not on the card, but an earlier card left it on the device's "
                                           "storage card, and the {} row writes it",
                                           ToUtf8(*path), update::ImageKindName(kind)));
        }
    }
    return warnings;
}

// The card's checks of each image the run will write, as the device would take it.
std::vector<std::string> ImageWarnings(sim::SimPlatform& device, const CardChoice& choice) {
    platform::Platform& platform = device.platform();
    ImageChecks checks(
        platform.fileSystem, platform.bitmapLoader, [&] { return platform.system.GetLastError(); }, device.config());
    std::vector<std::string> warnings;
    for (const update::ImageKind kind : mainwnd::kSettingsFileOrder) {
        const std::u16string* path = choice.settings.Path(kind);
        if (choice.settings.Enabled(kind) != 0 && path) {
            const std::vector<std::string> found = checks.Problems(kind, *path, ToUtf8(*path));
            warnings.insert(warnings.end(), found.begin(), found.end());
        }
    }
    return warnings;
}

}  // namespace

bool RunDryRun(const DryRunRequest& request, std::ostream& out) {
    const InterruptGuard interrupts;
    sim::SimPlatform original(request.device);
    const std::u16string cardFolder = CardFolderOf(original, request.device);
    CardFolder card(request.card, cardFolder);
    const CardChoice alone = card.Choice();
    if (!alone.ChoosesARow()) {
        throw shared::DeviceError(NoRowMessage(card, original, cardFolder));
    }

    CheckRoomForCopy(request, fs::temp_directory_path());
    const ScratchFolder scratch(fs::temp_directory_path() / "velkor", "dry-run");
    const fs::path device = scratch.Path() / "device";
    CopyDevice(request, device);
    interrupts.Check();
    sim::SimPlatform simulated(device);
    platform::Platform& platform = simulated.platform();
    CopyCardOnto(request.card, device / sim::device_files::kRoot / ToUtf8(cardFolder.substr(1)));
    interrupts.Check();

    const CardChoice merged = ChooseOnDevice(platform, cardFolder);
    std::vector<std::string> warnings = Leftovers(card, alone, merged, platform.fileSystem);
    const std::vector<std::string> images = ImageWarnings(simulated, merged);
    warnings.insert(warnings.end(), images.begin(), images.end());
    DryRunWindow window(platform, merged.settings,
                        {device / sim::device_files::kDebugLog, device / sim::device_files::kEventsLog}, interrupts);
    update::UpdateSequence sequence(window, platform.system, platform.fileSystem);
    trust::CardGate gate(platform, trust::ProgramBuildTime());
    const std::optional<trust::CardRefusal> refusal = window.CheckCard(gate, cardFolder, sequence.ChosenRows());
    if (refusal) {
        window.ShowMessage(mainwnd::CardRefusalMessage(ui::UiStrings(), *refusal));
    } else {
        sequence.Run([&gate] { return gate.RowsGoOn(); }, merged.unattended);
    }
    return PrintDryRun({request, merged.unattended, warnings, window, platform, gate.Card(), refusal}, out);
}

}  // namespace velkor::device_tool
