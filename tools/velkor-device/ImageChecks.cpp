#include "velkor-device/ImageChecks.h"

#include "platform/DeviceText.h"
#include "platform/ErrorCodes.h"
#include "update/BitmapPixelBlock.h"
#include "update/UpdateSequence.h"
#include "velkor-device/CardRows.h"

#include <algorithm>
#include <array>
#include <memory>
#include <span>

namespace velkor::device_tool {
namespace {

using update::ImageKind;
namespace error = platform::error;

// The status a row would show, as the updater shows it.
std::string Shown(std::u16string_view status) { return platform::ToUtf8(status); }

// What a device is left without when its row writes an empty image into the row's whole region.
struct WholeRegionRow {
    ImageKind kind;
    std::string_view content;
};
constexpr std::array<WholeRegionRow, 3> kWholeRegionRows{{
    {ImageKind::Boot, "boot loader"},
    {ImageKind::OS, "operating system"},
    {ImageKind::App, "application package"},
}};

}  // namespace

ImageChecks::ImageChecks(platform::FileSystem& files, platform::BitmapLoader& loader,
                         std::function<std::uint32_t()> lastError, const sim::DeviceConfig& device)
    : files_(files), loader_(loader), lastError_(std::move(lastError)), device_(device) {}

std::vector<std::string> ImageChecks::Problems(ImageKind kind, std::u16string_view path, std::string_view name) {
    problems_.clear();
    kind_ = kind;
    path_ = path;
    name_ = name;
    const std::unique_ptr<platform::File> opened = files_.OpenFile(path, platform::FileMode::Read);
    if (!opened) {
        Refuse("{} cannot be read ({}): the card would have no image for the {} row", name_, LastFailure(),
               update::ImageKindName(kind_));
        return problems_;
    }
    CheckRegion(opened->Length());
    CheckNotEmpty(opened->Length());
    if (kind_ == ImageKind::Logo) {
        CheckLogo();
    }
    if (kind_ == ImageKind::Logo2) {
        CheckSecondLogo(*opened);
    }
    return problems_;
}

void ImageChecks::CheckRegion(std::uint64_t bytes) {
    const shared::FlashRegionInfo* region = FlashRegionOf(kind_);
    if (region && device_.flashRegions[region->region] == 0) {
        Refuse("the device has no {} region: the {} row would show \"{}\"", region->name,
               update::ImageKindName(kind_), Shown(update::kFailedText));
        return;
    }
    if (region && bytes > device_.flashRegions[region->region]) {
        Refuse("{} is {} bytes but the {} region holds {}: the {} row would show \"{}\"", name_, bytes, region->name,
               device_.flashRegions[region->region], update::ImageKindName(kind_), Shown(update::kFailedText));
    }
}

// The flash driver writes an empty image as readily as any other and answers success.
void ImageChecks::CheckNotEmpty(std::uint64_t bytes) {
    const auto row = std::find_if(kWholeRegionRows.begin(), kWholeRegionRows.end(),
                                  [&](const WholeRegionRow& whole) { return whole.kind == kind_; });
    if (bytes == 0 && row != kWholeRegionRows.end()) {
        Refuse(
            "{} is empty: the {} row would write nothing into the {} region and show \"{}\", leaving the device "
            "without its {}",
            name_, update::ImageKindName(kind_), FlashRegionOf(kind_)->name, Shown(update::kSucceedText), row->content);
    }
}

// The updater hands the first logo to the flash driver unread; only the boot screen decodes it.
void ImageChecks::CheckLogo() {
    if (!loader_.LoadDIBitmap(path_)) {
        Refuse(
            "{} is not a bitmap the device can decode: the Logo row would still write it to the logo region, "
            "leaving the device without a boot logo",
            name_);
    }
}

void ImageChecks::CheckSecondLogo(platform::File& opened) {
    const std::unique_ptr<platform::Bitmap> bitmap = loader_.LoadDIBitmap(path_);
    const platform::ScreenSize screen = device_.screen;
    if (!bitmap) {
        Refuse("{} is not a bitmap the device can decode: the Logo2 row would show \"{}\"", name_,
               Shown(update::kFailedText));
        return;
    }
    if (bitmap->Width() != screen.width || bitmap->Height() != screen.height) {
        Refuse("{} is {}x{} but the screen is {}x{}: the Logo2 row would show \"{}\"", name_, bitmap->Width(),
               bitmap->Height(), screen.width, screen.height, Shown(update::kFailedText));
        return;
    }
    std::array<std::uint8_t, update::kBitmapHeaderBytes> headers{};
    std::uint32_t headerBytes = 0;
    // A plain file answers a read in full unless it is shorter.
    if (!opened.Read(headers.data(), headers.size(), headerBytes) ||
        !update::FindPixelBlock(std::span(headers.data(), headerBytes), opened.Length())) {
        Refuse(
            "{} is a bitmap the second logo's rewrite does not handle (it takes uncompressed 24-bit, or 16-bit "
            "5-5-5, stored bottom-up): the Logo2 row would show \"{}\" but leave its near-black pixels as they are",
            name_, Shown(update::kSucceedText));
    }
}

std::string_view ImageChecks::LastFailure() const {
    switch (lastError_()) {
        case error::kFileNotFound:
        case error::kPathNotFound:
            return "no such file";
        case error::kInvalidName:
            return "its path holds a name the device refuses";
        default:
            return "not a plain file this user may read";
    }
}

}  // namespace velkor::device_tool
