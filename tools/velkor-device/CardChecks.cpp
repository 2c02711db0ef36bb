#include "velkor-device/CardChecks.h"

#include "platform/DeviceText.h"
#include "update/BitmapPixelBlock.h"
#include "update/UpdateSequence.h"
#include "velkor-device/CardRows.h"

#include <array>
#include <iterator>
#include <memory>
#include <span>

namespace velkor::device_tool {
namespace {

namespace fs = std::filesystem;
using update::ImageKind;

// The status a row would show, as the updater shows it.
std::string Shown(std::u16string_view status) { return platform::ToUtf8(status); }

}  // namespace

CardChecks::CardChecks(const CardPlan& plan, const sim::DeviceConfig& device) : plan_(plan), device_(device) {}

std::vector<std::string> CardChecks::Problems(const fs::path& out, bool replace) {
    problems_.clear();
    for (const CardFile& file : plan_.Files()) {
        CheckImage(file);
    }
    CheckNamesDiffer();
    CheckOut(out, replace);
    return problems_;
}

void CardChecks::CheckImage(const CardFile& file) {
    const std::unique_ptr<platform::File> opened = sources_.Open(file.source);
    if (!opened) {
        Refuse("{} cannot be read ({}): the card would have no image for the {} row", file.source.string(),
               sources_.LastFailure(), update::ImageKindName(file.kind));
        return;
    }
    CheckRegion(file, opened->Length());
    if (file.kind == ImageKind::Logo) {
        CheckLogo(file);
    }
    if (file.kind == ImageKind::Logo2) {
        CheckSecondLogo(file, *opened);
    }
}

void CardChecks::CheckRegion(const CardFile& file, std::uint64_t bytes) {
    const shared::FlashRegionInfo* region = FlashRegionOf(file.kind);
    if (region && bytes > device_.flashRegions[region->region]) {
        Refuse("{} is {} bytes but the {} region holds {}: the {} row would show \"{}\"", file.source.string(), bytes,
               region->name, device_.flashRegions[region->region], update::ImageKindName(file.kind),
               Shown(update::kFailedText));
    }
}

// The updater hands the first logo to the flash driver unread; only the boot screen decodes it.
void CardChecks::CheckLogo(const CardFile& file) {
    if (!sources_.LoadBitmap(file.source)) {
        Refuse("{} is not a bitmap the device can decode: the Logo row would still write it to the logo region, "
               "leaving the device without a boot logo",
               file.source.string());
    }
}

void CardChecks::CheckSecondLogo(const CardFile& file, platform::File& opened) {
    const std::unique_ptr<platform::Bitmap> bitmap = sources_.LoadBitmap(file.source);
    const platform::ScreenSize screen = device_.screen;
    if (!bitmap) {
        Refuse("{} is not a bitmap the device can decode: the Logo2 row would show \"{}\"", file.source.string(),
               Shown(update::kFailedText));
        return;
    }
    if (bitmap->Width() != screen.width || bitmap->Height() != screen.height) {
        Refuse("{} is {}x{} but the screen is {}x{}: the Logo2 row would show \"{}\"", file.source.string(),
               bitmap->Width(), bitmap->Height(), screen.width, screen.height, Shown(update::kFailedText));
        return;
    }
    std::array<std::uint8_t, update::kBitmapHeaderBytes> headers{};
    std::uint32_t headerBytes = 0;
    // A plain file answers a read in full unless it is shorter.
    if (!opened.Read(headers.data(), headers.size(), headerBytes) ||
        !update::FindPixelBlock(std::span(headers.data(), headerBytes), opened.Length())) {
        Refuse("{} is a bitmap the second logo's rewrite does not handle (it takes uncompressed 24-bit, or 16-bit "
               "5-5-5, stored bottom-up): the Logo2 row would show \"{}\" but leave its near-black pixels as they are",
               file.source.string(), Shown(update::kSucceedText));
    }
}

// Manual cards keep the engineer's names, and the card's file system does not tell letter cases apart.
void CardChecks::CheckNamesDiffer() {
    const std::vector<CardFile>& files = plan_.Files();
    for (auto first = files.begin(); first != files.end(); ++first) {
        for (auto second = std::next(first); second != files.end(); ++second) {
            if (platform::EqualsIgnoreCase(first->name, second->name)) {
                Refuse("{} and {} would both be {}: the {} and {} rows would write the same file",
                       first->source.string(), second->source.string(), platform::ToUtf8(plan_.DevicePath(*second)),
                       update::ImageKindName(first->kind), update::ImageKindName(second->kind));
            }
        }
    }
}

void CardChecks::CheckOut(const fs::path& out, bool replace) {
    std::error_code failure;
    if (!replace && fs::exists(fs::symlink_status(out, failure))) {
        Refuse("{} already exists: --force replaces it", out.string());
    }
}

}  // namespace velkor::device_tool
