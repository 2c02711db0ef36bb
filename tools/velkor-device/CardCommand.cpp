#include "velkor-device/CardCommand.h"

#include "backend/shared/DeviceError.h"
#include "mainwnd/AutoUpdateDetection.h"
#include "mainwnd/CUpdateDialog.h"
#include "mainwnd/SettingsEntries.h"
#include "platform/DeviceText.h"
#include "update/SecondLogoStep.h"
#include "velkor-device/CardChecks.h"
#include "velkor-device/CardContents.h"
#include "platform/Sha256.h"
#include "trust/Manifest.h"
#include "velkor-device/CardDevice.h"
#include "velkor-device/CardManifest.h"
#include "velkor-device/CardPlan.h"
#include "velkor-device/CardRows.h"
#include "velkor-device/CardSigner.h"
#include "velkor-device/CardWriter.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace velkor::device_tool {
namespace {

namespace fs = std::filesystem;
using platform::ToUtf8;

using TableRow = std::array<std::string, 5>;

std::string Destination(update::ImageKind kind) {
    const shared::FlashRegionInfo* region = FlashRegionOf(kind);
    return region ? fmt::format("{} region", region->name)
                  : fmt::format("{} on the data volume", ToUtf8(update::kSecondLogoCopy));
}

std::vector<TableRow> TableRows(const CardPlan& plan) {
    std::vector<TableRow> rows{{"Row", "Source", "Bytes", "Card file", "Goes to"}};
    for (const CardFile& file : plan.Files()) {
        rows.push_back({std::string(update::ImageKindName(file.kind)), file.source.string(),
                        std::to_string(fs::file_size(file.source)), ToUtf8(plan.DevicePath(file)),
                        Destination(file.kind)});
    }
    return rows;
}

void PrintTable(std::ostream& out, const std::vector<TableRow>& rows) {
    std::array<std::size_t, 4> widths{};  // the last column is not padded
    for (const TableRow& row : rows) {
        for (std::size_t column = 0; column < widths.size(); ++column) {
            widths[column] = std::max(widths[column], row[column].size());
        }
    }
    for (const TableRow& row : rows) {
        out << fmt::format("  {:<{}}  {:<{}}  {:>{}}  {:<{}}  {}\n", row[0], widths[0], row[1], widths[1], row[2],
                           widths[2], row[3], widths[3], row[4]);
    }
}

// "Logo2, Boot, Reset": the rows the settings file ticks, in the file's order.
std::string TickedRows(const update::UpdateSettings& settings) {
    std::vector<std::string_view> ticked;
    for (const update::ImageKind kind : mainwnd::kSettingsFileOrder) {
        if (settings.Enabled(kind) != 0) {
            ticked.push_back(update::ImageKindName(kind));
        }
    }
    return fmt::format("{}", fmt::join(ticked, ", "));
}

// The manifest's device family, version and digest, and who signed it.
void PrintManifest(std::ostream& out, const CardManifest& manifest, const std::optional<trust::ManifestSigner>& signer) {
    out << fmt::format("{} lists them for \"{}\", version {} (SHA-256 {}); ", ToUtf8(trust::kManifestFileName),
                       manifest.Contents().compatible, manifest.Contents().version,
                       platform::DigestHex(platform::Sha256::Of(manifest.Text())));
    if (signer) {
        out << fmt::format("{} signs it as {}.\n", ToUtf8(trust::kSignatureFileName), signer->Signer());
    } else {
        out << "it is not signed: a device with a keyring refuses the card.\n";
    }
}

void PrintCard(std::ostream& out, const CardPlan& plan, const CardManifest& manifest,
               const std::optional<trust::ManifestSigner>& signer, const fs::path& card) {
    if (plan.Layout() == CardLayout::Auto) {
        out << fmt::format("Made the card {} for an unattended update:\n", card.string());
    } else {
        out << fmt::format("Made the card {} for an update by hand; {} ticks {}:\n", card.string(),
                           ToUtf8(mainwnd::kSettingsPath), TickedRows(plan.Settings()));
    }
    PrintTable(out, TableRows(plan));
    PrintManifest(out, manifest, signer);
    out << fmt::format("Copy what {} holds to the root of the storage card ({} on the device);\n"
                       "remove an earlier card's {} folder and {} from it first, or they count too.\n",
                       card.string(), ToUtf8(plan.CardFolder()), ToUtf8(mainwnd::kAutoUpdateFolder),
                       ToUtf8(SettingsFileName()));
}

}  // namespace

void RunCard(const CardRequest& request, std::ostream& out, std::ostream& problems) {
    const CardDevice device(request);
    const CardPlan plan(request, device.CardFolder());
    std::vector<std::string> found = CardChecks(request, plan, device).Problems();
    const CardManifest manifest(request, plan, device);
    const std::vector<std::string> manifestProblems = manifest.Problems();
    found.insert(found.end(), manifestProblems.begin(), manifestProblems.end());
    const std::optional<trust::ManifestSigner> signer =
        request.signing ? LoadSigner(*request.signing, found) : std::nullopt;
    std::optional<std::string> signature;
    if (found.empty() && signer) {
        std::string error;
        signature = signer->Sign(manifest.Text(), error);
        if (!signature) {
            found.push_back(error);
        }
    }
    if (!found.empty()) {
        for (const std::string& problem : found) {
            problems << problem << '\n';
        }
        throw shared::DeviceError(fmt::format("no card made in {}: {} problem(s)", request.out.string(), found.size()));
    }
    const fs::path card = CardWriter(plan, manifest, std::move(signature)).Write(request.out, request.force);
    PrintCard(out, plan, manifest, signer, card);
}

}  // namespace velkor::device_tool
