#include "ui/UiStrings.h"

#include <string_view>

namespace velkor::ui {
namespace {

// The leading space of the folder and file suffixes belongs to the text.
constexpr std::array<std::u16string_view, kUiStringCount> kEnglish{
    u"Name", u"Type", u"Size", u"Previous Layer", u" Folder", u" File",
};
constexpr std::array<std::u16string_view, kUiStringCount> kChinese{
    u"名称", u"类型", u"大小", u"上一层", u" 文件夹", u" 文件",
};

}  // namespace

UiStrings::UiStrings() {
    for (std::size_t index = 0; index < kUiStringCount; ++index) {
        entries_[index] = kEnglish[index];
    }
}

const std::u16string& UiStrings::operator[](UiStringId id) const { return entries_.at(static_cast<std::size_t>(id)); }

void UiStrings::UseChineseSet() {
    for (std::size_t index = 0; index < kUiStringCount; ++index) {
        entries_[index] = kChinese[index];
    }
}

}  // namespace velkor::ui
