#include "mainwnd/AutoUpdateDetection.h"

#include <algorithm>
#include <array>

namespace velkor::mainwnd {
namespace {

using update::ImageKind;

// The row keeps the very name it tested, so that the card check and the write reach the file that
// was found.
struct AutoUpdateImage {
    std::u16string_view testedName;
    ImageKind kind;
    bool alsoEnablesReset;
};

constexpr std::array<AutoUpdateImage, 5> kAutoUpdateImages{{
    {u"NK.bin", ImageKind::OS, false},
    {u"Logo1.bmp", ImageKind::Logo, false},
    {u"logo2.bmp", ImageKind::Logo2, false},
    {u"Eboot.nb0", ImageKind::Boot, true},
    {u"NAPP.bin", ImageKind::App, false},
}};

}  // namespace

std::optional<std::u16string_view> AutoUpdateFileName(ImageKind kind) {
    const auto image = std::find_if(kAutoUpdateImages.begin(), kAutoUpdateImages.end(),
                                    [&](const AutoUpdateImage& candidate) { return candidate.kind == kind; });
    return image != kAutoUpdateImages.end() ? std::optional(image->testedName) : std::nullopt;
}

bool DetectAutoUpdate(platform::FileSystem& fileSystem, std::u16string_view folder,
                      update::UpdateSettings& settings) {
    bool found = false;
    for (const AutoUpdateImage& image : kAutoUpdateImages) {
        const std::u16string tested = std::u16string(folder) + std::u16string(image.testedName);
        if (fileSystem.GetAttributes(tested) == platform::kInvalidFileAttributes) {
            continue;
        }
        found = true;
        settings.Enabled(image.kind) = 1;
        *settings.Path(image.kind) = tested;
        if (image.alsoEnablesReset) {
            settings.resetEnabled = 1;
        }
    }
    return found;
}

}  // namespace velkor::mainwnd
