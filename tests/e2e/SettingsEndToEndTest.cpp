#include "e2e/UpdaterSession.h"
#include "support/ProgramRun.h"
#include "support/SettingsBytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace velkor::test {
namespace {

const std::vector<std::u16string> kHandMade{
    u"1", u"\\StorageCard\\Images\\NK.bin", u"0", u"", u"0", u"\\StorageCard\\Images\\logo2.bmp",
    u"1", u"\\StorageCard\\Images\\Eboot.nb0", u"0", u"", u"1",
};

std::string AllClear() {
    return SettingsFileBytes({u"0", u"", u"0", u"", u"0", u"", u"0", u"", u"0", u"", u"0"});
}

std::string Lf(const std::vector<std::u16string>& entries) {
    std::u16string text;
    for (const auto& entry : entries) {
        text += u"$|$" + entry + u"$|$\n";
    }
    return Utf16Le(text);
}

std::string Joined(const std::vector<std::u16string>& entries) {
    std::u16string text;
    for (const auto& entry : entries) {
        text += u"$|$" + entry + u"$|$";
    }
    return Utf16Le(text);
}

std::vector<std::u16string> With(std::vector<std::u16string> entries, std::size_t index, std::u16string value) {
    entries[index] = std::move(value);
    return entries;
}

struct HandMadeCase {
    const char* name;
    std::string prepared;  // the file on the card before the run
    std::string saved;     // the file Exit writes
};

class HandMadeSettingsTest : public testing::TestWithParam<HandMadeCase> {};

TEST_P(HandMadeSettingsTest, ExitWritesWhatTheFileApplied) {
    UpdaterSession session;
    WriteHostFile(session.Card() / "updater.cfg", GetParam().prepared);
    ASSERT_TRUE(session.Start());
    ASSERT_TRUE(session.PressKeys(kClickExit));
    ASSERT_EQ(session.WaitForExit(), 0);
    EXPECT_EQ(ReadHostFile(session.Card() / "updater.cfg"), GetParam().saved);
    EXPECT_FALSE(std::filesystem::exists(session.Card() / "updater.cfg.tmp"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, HandMadeSettingsTest,
    testing::Values(
        HandMadeCase{"AsWritten", SettingsFileBytes(kHandMade), SettingsFileBytes(kHandMade)},
        HandMadeCase{"ByteOrderMark", "\xFF\xFE" + SettingsFileBytes(kHandMade), SettingsFileBytes(kHandMade)},
        HandMadeCase{"LfLineEnds", Lf(kHandMade), SettingsFileBytes(kHandMade)},
        HandMadeCase{"NoLineEnds", Joined(kHandMade), SettingsFileBytes(kHandMade)},
        HandMadeCase{"TenEntriesIgnored", SettingsFileBytes({kHandMade.begin(), kHandMade.end() - 1}), AllClear()},
        HandMadeCase{"TwelveEntries", SettingsFileBytes(kHandMade) + Utf16Le(u"$|$extra$|$\r\n"),
                     SettingsFileBytes(kHandMade)},
        HandMadeCase{"FlagsOtherThanOneClear",
                     SettingsFileBytes(With(With(kHandMade, 0, u" 1"), 6, u"2")),
                     SettingsFileBytes(With(With(With(kHandMade, 0, u"0"), 6, u"0"), 10, u"1"))},
        HandMadeCase{"SingleByteText", "$|$1$|$\r\n", AllClear()},
        HandMadeCase{"Empty", "", AllClear()}),
    [](const testing::TestParamInfo<HandMadeCase>& info) { return info.param.name; });

TEST(SettingsEndToEnd, EscapeLeavesTheFileUnchanged) {
    UpdaterSession session;
    const std::string prepared = "\xFF\xFE" + SettingsFileBytes(With(kHandMade, 0, u"0"));
    WriteHostFile(session.Card() / "updater.cfg", prepared);
    ASSERT_TRUE(session.Start());
    ASSERT_TRUE(session.PressKeys({"space", "Escape"}));  // ticks OS, then leaves
    ASSERT_EQ(session.WaitForExit(), 0);
    EXPECT_EQ(ReadHostFile(session.Card() / "updater.cfg"), prepared);
}

struct FailedSaveCase {
    const char* name;
    std::string faults;
};

class FailedSaveEndToEndTest : public testing::TestWithParam<FailedSaveCase> {};

TEST_P(FailedSaveEndToEndTest, KeepsTheOldFileAndStillEnds) {
    UpdaterSession session;
    const std::string prepared = SettingsFileBytes(kHandMade);
    WriteHostFile(session.Card() / "updater.cfg", prepared);
    session.SetFaults(GetParam().faults);
    ASSERT_TRUE(session.Start());
    ASSERT_TRUE(session.PressKeys(QStringList{"space"} + kClickExit));
    ASSERT_EQ(session.WaitForExit(), 0);
    EXPECT_EQ(ReadHostFile(session.Card() / "updater.cfg"), prepared);
    EXPECT_FALSE(std::filesystem::exists(session.Card() / "updater.cfg.tmp"));
}

INSTANTIATE_TEST_SUITE_P(Faults, FailedSaveEndToEndTest,
                         testing::Values(FailedSaveCase{"WriteProtectedCard", R"({"writeProtected": ["\\StorageCard"]})"},
                                         FailedSaveCase{"CardFullPartWay", R"({"fileSizeLimit": 100})"},
                                         FailedSaveCase{"ReplaceFails", R"({"moveFails": true})"}),
                         [](const testing::TestParamInfo<FailedSaveCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::test
