#include "velkor-device/CardContents.h"

#include "mainwnd/AutoUpdateDetection.h"
#include "mainwnd/CUpdateDialog.h"
#include "platform/DeviceText.h"
#include "trust/Manifest.h"
#include "velkor-device/CardRows.h"

#include <algorithm>
#include <array>
#include <system_error>

namespace velkor::device_tool {
namespace {

namespace fs = std::filesystem;

constexpr std::u16string_view kImagesFolder = u"Images";

// A file of a card's images folder: in an AutoUpdate folder only the names the detection looks for.
bool IsImageName(CardLayout layout, std::u16string_view name) {
    if (layout == CardLayout::Manual) {
        return true;
    }
    return std::any_of(kCardRows.begin(), kCardRows.end(),
                       [&](update::ImageKind kind) { return mainwnd::AutoUpdateFileName(kind) == name; });
}

// The first entry of a card's images folder that is not one of its image files.
std::optional<fs::path> ForeignImage(const fs::path& folder, CardLayout layout) {
    std::error_code failure;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, failure)) {
        if (!entry.is_regular_file() || entry.is_symlink() ||
            !IsImageName(layout, platform::FromUtf8(entry.path().filename().string()))) {
            return entry.path().filename();
        }
    }
    return failure ? std::optional<fs::path>(".") : std::nullopt;
}

// The files a card holds at its root: the settings file, the manifest and its signature.
bool IsRootFileName(std::u16string_view name) {
    return name == SettingsFileName() || name == trust::kManifestFileName || name == trust::kSignatureFileName;
}

std::optional<CardLayout> LayoutOfFolder(const fs::path& name) {
    for (const CardLayout layout : {CardLayout::Auto, CardLayout::Manual}) {
        if (platform::FromUtf8(name.string()) == ImagesFolder(layout)) {
            return layout;
        }
    }
    return std::nullopt;
}

}  // namespace

std::u16string_view ImagesFolder(CardLayout layout) {
    return layout == CardLayout::Auto ? mainwnd::kAutoUpdateFolder : kImagesFolder;
}

std::u16string_view SettingsFileName() {
    return mainwnd::kSettingsPath.substr(mainwnd::kSettingsPath.rfind(u'\\') + 1);
}

std::optional<fs::path> ForeignEntry(const fs::path& folder) {
    std::error_code failure;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, failure)) {
        const fs::path name = entry.path().filename();
        const std::optional<CardLayout> layout = LayoutOfFolder(name);
        const bool plain = !entry.is_symlink();
        if (plain && layout && entry.is_directory()) {
            if (const std::optional<fs::path> foreign = ForeignImage(entry.path(), *layout)) {
                return name / *foreign;
            }
        } else if (!plain || !entry.is_regular_file() || !IsRootFileName(platform::FromUtf8(name.string()))) {
            return name;
        }
    }
    return failure ? std::optional<fs::path>(".") : std::nullopt;
}

}  // namespace velkor::device_tool
