#include "trust/CardGate.h"

#include "platform/DeviceText.h"

#include <fmt/format.h>

namespace velkor::trust {

CardGate::CardGate(platform::Platform& platform, std::int64_t buildTime) : platform_(platform), buildTime_(buildTime) {}

std::optional<CardRefusal> CardGate::Check(std::u16string_view cardRoot, const std::vector<update::ImageKind>& rows,
                                           const update::UpdateSettings& settings) {
    std::vector<PlannedImage> planned;
    for (const update::ImageKind row : rows) {
        if (update::WritesImage(row)) {
            planned.push_back({row, *settings.Path(row)});
        }
    }
    CardVerdict verdict =
        CardCheck(platform_.fileSystem, platform_.system, platform_.trust, buildTime_).Check(cardRoot, planned);
    card_ = std::move(verdict.card);
    if (verdict.refusal) {
        const std::string_view name = CardRefusalName(*verdict.refusal);
        Debug(fmt::format("Card refused, {}: {}", name, verdict.detail));
        platform_.trust.LogCardRefused(name);
    } else if (card_) {
        // A card without a manifest on a device without a keyring leaves the output as it always was.
        Debug(fmt::format("Card accepted: {}", verdict.detail));
    }
    return verdict.refusal;
}

void CardGate::RowsDone(bool everyChosenRowSucceeded) {
    if (!card_ || !card_->isSigned || !everyChosenRowSucceeded) {
        return;
    }
    const platform::InstalledRelease release{card_->version, DigestHex(card_->manifestSha256)};
    if (!platform_.trust.RecordInstalled(release)) {
        Debug(fmt::format("Installed version {} not recorded: error {}", release.version,
                          platform_.system.GetLastError()));
    }
}

void CardGate::Debug(std::string_view line) { platform_.system.DebugPrint(platform::FromUtf8(std::string(line) + "\n")); }

}  // namespace velkor::trust
