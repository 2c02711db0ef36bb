#include "velkor-device/CardPlan.h"

#include "mainwnd/AutoUpdateDetection.h"
#include "platform/DeviceText.h"
#include "velkor-device/CardContents.h"
#include "velkor-device/CardRows.h"

#include <algorithm>

namespace velkor::device_tool {
namespace {

namespace fs = std::filesystem;

std::u16string CardName(CardLayout layout, update::ImageKind kind, const fs::path& source) {
    return layout == CardLayout::Auto ? std::u16string(*mainwnd::AutoUpdateFileName(kind))
                                      : platform::FromUtf8(source.filename().string());
}

}  // namespace

CardPlan::CardPlan(const CardRequest& request, std::u16string cardFolder)
    : layout_(request.layout), cardFolder_(std::move(cardFolder)) {
    for (const update::ImageKind kind : kCardRows) {
        if (const auto image = request.images.find(kind); image != request.images.end()) {
            files_.push_back({kind, image->second, CardName(layout_, kind, image->second)});
        }
    }
}

bool CardPlan::IsFirstOfItsName(const CardFile& file) const {
    return std::none_of(files_.data(), &file,
                        [&](const CardFile& earlier) { return platform::EqualsIgnoreCase(earlier.name, file.name); });
}

std::u16string CardPlan::DevicePath(const CardFile& file) const {
    return platform::Format(u"%s\\%s\\%s", cardFolder_, ImagesFolder(layout_), file.name);
}

fs::path CardPlan::HostFolder() const { return platform::ToUtf8(ImagesFolder(layout_)); }

fs::path CardPlan::HostPath(const CardFile& file) const { return HostFolder() / platform::ToUtf8(file.name); }

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
