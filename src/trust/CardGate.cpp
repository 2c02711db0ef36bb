#include "trust/CardGate.h"

#include "platform/DeviceText.h"
#include "update/ImageSteps.h"

#include <fmt/format.h>

namespace velkor::trust {
namespace {

platform::ApprovedCard Approval(const std::optional<CheckedCard>& card) {
    platform::ApprovedCard approval;
    if (!card) {
        return approval;
    }
    for (const CheckedImage& image : card->images) {
        approval.images.push_back({image.devicePath, image.size, image.sha256, image.identity, image.chunks});
    }
    if (card->isSigned) {
        approval.release = platform::InstalledRelease{card->version, platform::DigestHex(card->manifestSha256)};
    }
    return approval;
}

}  // namespace

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
        return verdict.refusal;
    }
    if (card_) {
        // A card without a manifest on a device without a keyring leaves the output as it always was.
        Debug(fmt::format("Card accepted: {}", verdict.detail));
    }
    platform::ApprovedCard approval = Approval(card_);
    for (const update::ImageKind row : rows) {
        if (const std::optional<std::uint32_t> code = update::FlashControlCode(row)) {
            approval.writes.push_back({*code, *settings.Path(row)});
        }
    }
    platform_.trust.ApproveCard(std::move(approval));
    return std::nullopt;
}

bool CardGate::RowsGoOn() { return !platform_.trust.MismatchFound(); }

void CardGate::Debug(std::string_view line) { platform_.system.DebugPrint(platform::FromUtf8(std::string(line) + "\n")); }

}  // namespace velkor::trust
