#include "platform/DeviceText.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace velkor::platform {
namespace {

TEST(DeviceText, FormatsPrintfPatternsWithUtf16Arguments) {
    EXPECT_EQ(Format(u"%s%d", std::u16string(u"Storage Card"), 2), u"Storage Card2");
    EXPECT_EQ(Format(u"\\%s", u"存储卡"), u"\\存储卡");
    EXPECT_EQ(Format(u"%s [%d s]", std::u16string_view(u"Succeed"), 12), u"Succeed [12 s]");
    EXPECT_EQ(Format(u"CreateFile fail =%x\n", 32u), u"CreateFile fail =20\n");
}

TEST(DeviceText, ConvertsBetweenUtf8AndUtf16) {
    const std::u16string text = u"\\StorageCard\\升级\U0001F600";
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    EXPECT_EQ(FromUtf8("\xFF"), u"\uFFFD");
}

TEST(DeviceText, IgnoresLetterCase) {
    EXPECT_TRUE(EqualsIgnoreCase(u"LOGO2.BMP", u"logo2.bmp"));
    EXPECT_FALSE(EqualsIgnoreCase(u"logo2.bmp", u"logo2.bm"));
    EXPECT_EQ(ToLowerCase(u"BinFLASH"), u"binflash");
}

// The folded form keys lookups, so it must agree with the comparison beyond ASCII too.
TEST(DeviceText, FoldedFormsAreEqualExactlyWhenTheTextsAreEqualIgnoringCase) {
    const std::vector<std::tuple<std::u16string, std::u16string, bool>> cases{
        {u"SDMemory", u"sdmemory", true},  {u"Ärger", u"äRGER", true},     {u"ΣΟΦΟΣ", u"σοφος", true},
        {u"\U00010400", u"\U00010428", true}, {u"\xD801", u"\xD801", true}, {u"\xD801x", u"\xD802x", false},
    };
    for (const auto& [left, right, equal] : cases) {
        EXPECT_EQ(EqualsIgnoreCase(left, right), equal) << ToUtf8(left);
        EXPECT_EQ(FoldCase(left) == FoldCase(right), equal) << ToUtf8(left);
    }
}

}  // namespace
}  // namespace velkor::platform
