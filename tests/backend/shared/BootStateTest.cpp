#include "backend/shared/slots/BootState.h"
#include "backend/shared/slots/BootedSlot.h"
#include "support/ThrowsDeviceError.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

namespace velkor::shared {
namespace {

using Values = std::map<std::string, std::string, std::less<>>;

struct ParseCase {
    const char* name;
    Values values;
    // Empty when the values parse.
    std::string complaint;
};

class BootStateParseTest : public testing::TestWithParam<ParseCase> {};

TEST_P(BootStateParseTest, TakesOnlyAnOrderOfTheTwoSlotsAndCountsOfTries) {
    if (GetParam().complaint.empty()) {
        EXPECT_NO_THROW(BootState::Parse(GetParam().values));
        return;
    }
    EXPECT_THAT([&] { BootState::Parse(GetParam().values); }, test::ThrowsDeviceError(GetParam().complaint));
}

INSTANTIATE_TEST_SUITE_P(
    Values, BootStateParseTest,
    testing::Values(
        ParseCase{"New", {{"BOOT_ORDER", "A B"}, {"BOOT_A_LEFT", "3"}, {"BOOT_B_LEFT", "0"}}, ""},
        ParseCase{"NoOrder", {{"BOOT_A_LEFT", "3"}, {"BOOT_B_LEFT", "0"}}, "has no BOOT_ORDER"},
        ParseCase{"NoTries", {{"BOOT_ORDER", "A B"}, {"BOOT_A_LEFT", "3"}}, "has no BOOT_B_LEFT"},
        ParseCase{"SlotThatDoesNotExist", {{"BOOT_ORDER", "A C"}, {"BOOT_A_LEFT", "3"}, {"BOOT_B_LEFT", "0"}},
                  "must name the slots that exist"},
        ParseCase{"SlotTwice", {{"BOOT_ORDER", "A A"}, {"BOOT_A_LEFT", "3"}, {"BOOT_B_LEFT", "0"}}, "\"A A\""},
        ParseCase{"OneSlot", {{"BOOT_ORDER", "A"}, {"BOOT_A_LEFT", "3"}, {"BOOT_B_LEFT", "0"}}, "\"A\""},
        ParseCase{"TriesNotANumber", {{"BOOT_ORDER", "B A"}, {"BOOT_A_LEFT", "x"}, {"BOOT_B_LEFT", "0"}},
                  "BOOT_A_LEFT is \"x\""},
        ParseCase{"TriesNegative", {{"BOOT_ORDER", "B A"}, {"BOOT_A_LEFT", "3"}, {"BOOT_B_LEFT", "-1"}},
                  "BOOT_B_LEFT is \"-1\""},
        ParseCase{"TriesBeyondOneDigit", {{"BOOT_ORDER", "B A"}, {"BOOT_A_LEFT", "10"}, {"BOOT_B_LEFT", "0"}},
                  "from 0 to 9, one decimal digit"}),
    [](const testing::TestParamInfo<ParseCase>& info) { return info.param.name; });

struct BootCase {
    const char* name;
    Values values;
    std::optional<Slot> booted;
    std::string store;
};

class BootRuleTest : public testing::TestWithParam<BootCase> {};

TEST_P(BootRuleTest, BootsTheFirstSlotOfTheOrderWithTriesLeftAndTakesOneTry) {
    const auto choice = BootState::Parse(GetParam().values).ChooseBoot();
    ASSERT_EQ(choice.has_value(), GetParam().booted.has_value());
    if (choice) {
        EXPECT_EQ(choice->first, *GetParam().booted);
        EXPECT_EQ(BootVariablesText(choice->second), GetParam().store);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Orders, BootRuleTest,
    testing::Values(
        BootCase{"FirstHasTries", {{"BOOT_ORDER", "B A"}, {"BOOT_A_LEFT", "3"}, {"BOOT_B_LEFT", "2"}}, Slot::B,
                 "BOOT_B_LEFT=1"},
        BootCase{"FirstIsSpent", {{"BOOT_ORDER", "B A"}, {"BOOT_A_LEFT", "3"}, {"BOOT_B_LEFT", "0"}}, Slot::A,
                 "BOOT_A_LEFT=2"},
        BootCase{"NoneLeft", {{"BOOT_ORDER", "A B"}, {"BOOT_A_LEFT", "0"}, {"BOOT_B_LEFT", "0"}}, std::nullopt, ""}),
    [](const testing::TestParamInfo<BootCase>& info) { return info.param.name; });

TEST(BootStateVariables, ACommitPutsTheTargetFirstWithItsTriesAndADisarmTakesThemAway) {
    EXPECT_EQ(BootVariablesText(BootState::CommitVariables(Slot::B)), "BOOT_ORDER=\"B A\" BOOT_B_LEFT=3");
    EXPECT_EQ(BootVariablesText(BootState::DisarmVariables(Slot::A)), "BOOT_A_LEFT=0");
    EXPECT_EQ(BootVariablesText(BootState::InitialVariables()), "BOOT_ORDER=\"A B\" BOOT_A_LEFT=3 BOOT_B_LEFT=0");
}

struct CommandLineCase {
    const char* name;
    std::string commandLine;
    std::optional<Slot> slot;
    bool refused;
};

class SlotOnCommandLineTest : public testing::TestWithParam<CommandLineCase> {};

TEST_P(SlotOnCommandLineTest, ReadsTheSlotTheBootScriptPassed) {
    if (GetParam().refused) {
        EXPECT_THROW(SlotOnCommandLine(GetParam().commandLine), DeviceError);
        return;
    }
    EXPECT_EQ(SlotOnCommandLine(GetParam().commandLine), GetParam().slot);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SlotOnCommandLineTest,
    testing::Values(CommandLineCase{"AmongOthers", "console=ttyS0 velkor.slot=B root=/dev/mmcblk0p5\n", Slot::B, false},
                    CommandLineCase{"Absent", "console=ttyS0 root=/dev/sda1", std::nullopt, false},
                    CommandLineCase{"LastCounts", "velkor.slot=A velkor.slot=B", Slot::B, false},
                    CommandLineCase{"PrefixOfAnotherWord", "xvelkor.slot=A", std::nullopt, false},
                    CommandLineCase{"SlotThatDoesNotExist", "velkor.slot=C", std::nullopt, true},
                    CommandLineCase{"Empty", "velkor.slot=", std::nullopt, true}),
    [](const testing::TestParamInfo<CommandLineCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::shared
