#include "mainwnd/SettingsEntries.h"

#include "support/StringLists.h"

#include <gtest/gtest.h>

#include <vector>

namespace velkor::mainwnd {
namespace {

using platform::StringArray;
using test::ArrayOf;
using test::Items;
using update::UpdateSettings;

TEST(MakeSettingsEntries, ListsFlagsAndPathsInTheFileOrder) {
    UpdateSettings settings;
    settings.osEnabled = 1;
    settings.osPath = u"\\StorageCard\\NK.bin";
    settings.logo2Path = u"\\StorageCard\\logo2.bmp";
    settings.bootEnabled = 1;
    settings.bootPath = u"\\StorageCard\\Eboot.nb0";
    settings.resetEnabled = 1;
    EXPECT_EQ(Items(MakeSettingsEntries(settings)),
              (std::vector<std::u16string>{u"1", u"\\StorageCard\\NK.bin", u"0", u"", u"0", u"\\StorageCard\\logo2.bmp",
                                           u"1", u"\\StorageCard\\Eboot.nb0", u"0", u"", u"1"}));
}

TEST(ApplySettingsEntries, AppliesEveryFieldToItsRow) {
    UpdateSettings applied;
    ASSERT_TRUE(ApplySettingsEntries(
        ArrayOf({u"1", u"os", u"1", u"logo", u"1", u"logo2", u"1", u"boot", u"1", u"app", u"1"}), applied));
    UpdateSettings expected{u"os", u"boot", u"logo", u"logo2", u"app", 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(applied, expected);
}

struct ApplyCase {
    const char* name;
    std::vector<std::u16string> entries;
    bool applied;
    std::int32_t osEnabled;
    std::u16string osPath;
};

class ApplySettingsEntriesTest : public testing::TestWithParam<ApplyCase> {};

TEST_P(ApplySettingsEntriesTest, AppliesOnlyCompleteFilesAndOnlyExactOnes) {
    UpdateSettings settings;
    settings.osPath = u"before";
    EXPECT_EQ(ApplySettingsEntries(ArrayOf(GetParam().entries), settings), GetParam().applied);
    EXPECT_EQ(settings.osEnabled, GetParam().osEnabled);
    EXPECT_EQ(settings.osPath, GetParam().osPath);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, ApplySettingsEntriesTest,
    testing::Values(
        ApplyCase{"Eleven", {u"1", u"a", u"", u"", u"", u"", u"", u"", u"", u"", u""}, true, 1, u"a"},
        ApplyCase{"Ten", {u"1", u"a", u"", u"", u"", u"", u"", u"", u"", u""}, false, 0, u"before"},
        ApplyCase{"None", {}, false, 0, u"before"},
        ApplyCase{"Twelve", {u"1", u"a", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"extra"}, true, 1, u"a"},
        ApplyCase{"EmptyPathEmpties", {u"1", u"", u"", u"", u"", u"", u"", u"", u"", u"", u""}, true, 1, u""},
        ApplyCase{"Zero", {u"0", u"a", u"", u"", u"", u"", u"", u"", u"", u"", u""}, true, 0, u"a"},
        ApplyCase{"Two", {u"2", u"a", u"", u"", u"", u"", u"", u"", u"", u"", u""}, true, 0, u"a"},
        ApplyCase{"SpaceBeforeOne", {u" 1", u"a", u"", u"", u"", u"", u"", u"", u"", u"", u""}, true, 0, u"a"},
        ApplyCase{"OneWithLineEnd", {u"1\r\n", u"a", u"", u"", u"", u"", u"", u"", u"", u"", u""}, true, 0, u"a"}),
    [](const testing::TestParamInfo<ApplyCase>& info) { return info.param.name; });

TEST(ApplySettingsEntries, LeavesAFlagThatIsAlreadySetWhenTheEntryIsNotOne) {
    UpdateSettings settings;
    settings.resetEnabled = 1;
    ApplySettingsEntries(ArrayOf({u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"0"}), settings);
    EXPECT_EQ(settings.resetEnabled, 1);
}

TEST(SettingsEntries, RoundTripKeepsEverySetting) {
    const UpdateSettings original{u"\\a\\NK.bin", u"\\a\\Eboot.nb0", u"", u"\\a\\LOGO2.BMP", u"\\a\\NAPP.bin",
                                  1, 0, 1, 0, 1, 1};
    UpdateSettings restored;
    ASSERT_TRUE(ApplySettingsEntries(MakeSettingsEntries(original), restored));
    EXPECT_EQ(restored, original);
}

}  // namespace
}  // namespace velkor::mainwnd
