#include "app/LanguageSelection.h"
#include "support/FakeSystem.h"

#include <gtest/gtest.h>

#include <array>

namespace velkor::app {
namespace {

using ui::UiStringId;

constexpr std::array kIds{UiStringId::ColumnName,    UiStringId::ColumnType,   UiStringId::ColumnSize,
                          UiStringId::PreviousLayer, UiStringId::FolderSuffix, UiStringId::FileSuffix};

using Texts = std::array<std::u16string, 6>;
const Texts kEnglish{u"Name", u"Type", u"Size", u"Previous Layer", u" Folder", u" File"};
const Texts kChinese{u"名称", u"类型", u"大小", u"上一层", u" 文件夹", u" 文件"};

struct LanguageCase {
    const char* name;
    std::uint16_t languageId;
    const Texts* expected;
};

class LanguageSelectionTest : public testing::TestWithParam<LanguageCase> {};

TEST_P(LanguageSelectionTest, OnlyChineseOfThePrcSelectsTheChineseSet) {
    test::FakeSystem system;
    system.languageId = GetParam().languageId;
    ui::UiStrings strings;
    SelectUiLanguage(strings, system);
    for (std::size_t i = 0; i < kIds.size(); ++i) {
        EXPECT_EQ(strings[kIds[i]], (*GetParam().expected)[i]) << "entry " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, LanguageSelectionTest,
                         testing::Values(LanguageCase{"ChinesePrc", 0x0804, &kChinese},
                                         LanguageCase{"ChineseTaiwan", 0x0404, &kEnglish},
                                         LanguageCase{"ChineseSingapore", 0x1004, &kEnglish},
                                         LanguageCase{"EnglishUs", 0x0409, &kEnglish},
                                         LanguageCase{"EnglishUk", 0x0809, &kEnglish},
                                         LanguageCase{"Neutral", 0x0000, &kEnglish}),
                         [](const testing::TestParamInfo<LanguageCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::app
