#include "ui/picker/FileRowTexts.h"

#include "platform/DeviceText.h"

namespace velkor::ui {

bool MatchExtension(std::u16string_view name, const platform::StringArray& extensions, std::u16string& extension) {
    const std::size_t dot = name.rfind(u'.');
    if (dot == std::u16string_view::npos) {
        return false;
    }
    const std::u16string_view candidate = name.substr(dot + 1);
    for (std::size_t index = 0; index < extensions.Count(); ++index) {
        if (platform::EqualsIgnoreCase(candidate, extensions.At(index))) {
            extension = candidate;
            return true;
        }
    }
    return false;
}

std::u16string SizeText(std::uint64_t bytes) {
    constexpr float kBytesPerMegabyte = 1.0F / 1048576.0F;
    const float megabytes = static_cast<float>(bytes) * kBytesPerMegabyte;
    return platform::Format(u"%.2f MB", static_cast<double>(megabytes));
}

}  // namespace velkor::ui
