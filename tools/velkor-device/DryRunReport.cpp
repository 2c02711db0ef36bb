#include "velkor-device/DryRunReport.h"

#include "platform/DeviceText.h"
#include "platform/Sha256.h"
#include "update/CFlashPartitionWriter.h"
#include "update/UpdateSequence.h"

#include <fmt/format.h>
#include <fmt/std.h>

#include <array>
#include <charconv>

namespace velkor::device_tool {
namespace {

using platform::ToUtf8;
using update::ImageKind;
using StageKind = DryRunWindow::StageKind;

constexpr std::string_view kDetailIndent = "           ";

struct StageHeading {
    StageKind kind;
    std::string_view withLines;
    std::string_view withoutLines;
};
constexpr std::array<StageHeading, 3> kStageHeadings{{
    {StageKind::Start, "The device's word before the run:", "The device's word before the run: nothing to say"},
    {StageKind::Programs, "Stopping the sibling programs:", "Stopping the sibling programs: none is running"},
    {StageKind::DataVolume,
     "Formatting the data volume, which erases everything on it:", "Formatting the data volume: nothing was done"},
}};

// The flash writer prints error codes in hex where the logs and this report print them in
// decimal; its lines get the decimal code too.
std::string WithDecimalError(const std::string& line) {
    for (const std::u16string_view pattern : {update::kOpenFailure, update::kControlFailure}) {
        const std::string prefix = ToUtf8(pattern.substr(0, pattern.find(u"%x")));
        const std::string_view digits = std::string_view(line).substr(std::min(prefix.size(), line.size()));
        std::uint32_t code = 0;
        const auto [end, failure] = std::from_chars(digits.data(), digits.data() + digits.size(), code, 16);
        if (line.starts_with(prefix) && !digits.empty() && failure == std::errc() && end == digits.end()) {
            return fmt::format("{} (hex: error {})", line, code);
        }
    }
    return line;
}

void PrintLines(const std::vector<std::string>& lines, std::ostream& out) {
    for (const std::string& line : lines) {
        out << kDetailIndent << WithDecimalError(line) << '\n';
    }
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

// Prints a row; true unless it was meant to run and did not succeed.
bool PrintRow(const DryRunOutcome& outcome, const DryRunWindow::Stage& stage, std::ostream& out) {
    const update::UpdateSettings& settings = outcome.window.Settings();
    const std::u16string status = outcome.window.StatusOf(stage.row);
    const bool meant = settings.Enabled(stage.row) != 0;
    out << fmt::format("  {:<6} {}{}\n", update::ImageKindName(stage.row), status.empty() ? "not run" : ToUtf8(status),
                       meant ? "" : " (not chosen)");
    PrintLines(stage.logLines, out);
    if (stage.row == ImageKind::Logo2 && status == update::kFailedText && stage.logLines.empty()) {
        out << kDetailIndent << SecondLogoReason(outcome.platform, settings) << '\n';
    }
    return !meant || status.starts_with(update::kSucceedText);
}

// What the check verified: who signed the manifest, for which device family, its version, and each
// image with the size and SHA-256 the device holds the write to.
void PrintVerification(const trust::CheckedCard& card, std::ostream& out) {
    out << kDetailIndent
        << (card.isSigned ? fmt::format("signed by {}", card.signer) : std::string("manifest not signed"))
        << fmt::format("; compatible \"{}\"; version {}; manifest SHA-256 {}\n", card.compatible, card.version,
                       platform::DigestHex(card.manifestSha256));
    for (const trust::CheckedImage& image : card.images) {
        out << fmt::format("{}{:<6} {} {} bytes, SHA-256 {}\n", kDetailIndent, update::ImageKindName(image.row),
                           ToUtf8(image.devicePath), image.size, platform::DigestHex(image.sha256));
    }
}

void PrintCardCheck(const DryRunOutcome& outcome, const DryRunWindow::Stage& stage, std::ostream& out) {
    if (outcome.refusal) {
        out << fmt::format("  Card refused ({}): the device would change nothing\n",
                           trust::CardRefusalName(*outcome.refusal));
    } else {
        out << (outcome.card ? "  Card accepted:\n" : "  Card accepted: it has no manifest, and the device no keyring\n");
    }
    PrintLines(stage.logLines, out);
    if (outcome.card && !outcome.refusal) {
        PrintVerification(*outcome.card, out);
    }
}

// Only a device with two-slot regions has anything to commit, and says so in its logs.
void PrintCommit(int answer, const DryRunWindow::Stage& stage, std::ostream& out) {
    if (!stage.logLines.empty()) {
        out << fmt::format("  Commit {}\n", answer != 0 ? "done" : "not made");
        PrintLines(stage.logLines, out);
    }
}

void PrintStage(const DryRunWindow::Stage& stage, std::ostream& out) {
    for (const StageHeading& heading : kStageHeadings) {
        if (heading.kind == stage.kind) {
            out << "  " << (stage.logLines.empty() ? heading.withoutLines : heading.withLines) << '\n';
        }
    }
    PrintLines(stage.logLines, out);
}

}  // namespace

bool PrintDryRun(const DryRunOutcome& outcome, std::ostream& out) {
    out << fmt::format(
        "Dry run of the card {} on a copy of the device {} ({}):\n", outcome.request.card, outcome.request.device,
        outcome.unattended ? "an unattended update" : "the settings file's rows, as if Update were pressed");
    for (const std::string& warning : outcome.warnings) {
        out << "  Warning: " << warning << '\n';
    }
    bool succeeded = true;
    for (const DryRunWindow::Stage& stage : outcome.window.Stages()) {
        if (stage.kind == StageKind::Row) {
            const bool rowSucceeded = PrintRow(outcome, stage, out);
            succeeded = succeeded && rowSucceeded;
        } else if (stage.kind == StageKind::Commit) {
            PrintCommit(outcome.window.CommitAnswer(), stage, out);
        } else if (stage.kind == StageKind::Card) {
            PrintCardCheck(outcome, stage, out);
        } else {
            PrintStage(stage, out);
        }
    }
    succeeded = succeeded && !outcome.refusal && outcome.window.StartAnswer() == platform::UpdateStart::Go &&
                outcome.window.CommitAnswer() != 0;
    out << fmt::format("The final message: \"{}\". The device itself is unchanged.\n",
                       ToUtf8(outcome.window.FinalMessage()));
    return succeeded;
}

}  // namespace velkor::device_tool
