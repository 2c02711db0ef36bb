#include "velkor-device/CardPlan.h"

#include "mainwnd/AutoUpdateDetection.h"
#include "mainwnd/CUpdateDialog.h"
#include "platform/DeviceText.h"
#include "velkor-device/CardRows.h"

namespace velkor::device_tool {
namespace {

namespace fs = std::filesystem;

constexpr std::u16string_view kImagesFolder = u"Images";

// The storage card's folder, from the settings file's path that the program uses.
std::u16string_view CardRoot() {
    return mainwnd::kSettingsPath.substr(0, mainwnd::kSettingsPath.rfind(u'\\'));
}

std::u16string_view ImagesFolder(CardLayout layout) {
    return layout == CardLayout::Auto ? mainwnd::kAutoUpdateFolder : kImagesFolder;
}

std::u16string CardName(CardLayout layout, update::ImageKind kind, const fs::path& source) {
    return layout == CardLayout::Auto ? std::u16string(*mainwnd::AutoUpdateFileName(kind))
                                      : platform::FromUtf8(source.filename().string());
}

}  // namespace

CardPlan::CardPlan(const CardRequest& request) : layout_(request.layout) {
    for (const update::ImageKind kind : kCardRows) {
        if (const auto image = request.images.find(kind); image != request.images.end()) {
            files_.push_back({kind, image->second, CardName(layout_, kind, image->second)});
        }
    }
}

std::u16string CardPlan::DevicePath(const CardFile& file) const {
    return platform::Format(u"%s\\%s\\%s", CardRoot(), ImagesFolder(layout_), file.name);
}

fs::path CardPlan::HostFolder() const { return platform::ToUtf8(ImagesFolder(layout_)); }

fs::path CardPlan::HostPath(const CardFile& file) const { return HostFolder() / platform::ToUtf8(file.name); }

std::u16string_view CardPlan::SettingsFileName() { return mainwnd::kSettingsPath.substr(CardRoot().size() + 1); }

update::UpdateSettings CardPlan::Settings() const {
    update::UpdateSettings settings;
    for (const CardFile& file : files_) {
        settings.Enabled(file.kind) = 1;
        *settings.Path(file.kind) = DevicePath(file);
    }
    settings.resetEnabled = settings.bootEnabled;
    return settings;
}

}  // namespace velkor::device_tool
