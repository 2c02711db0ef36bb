#include "backend/shared/DeviceError.h"
#include "backend/shared/slots/BootedSlot.h"
#include "backend/shared/slots/SlotSwitch.h"
#include "support/MemoryEnvironment.h"
#include "support/LogTexts.h"

#include <QTemporaryDir>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace velkor::shared {
namespace {

namespace fs = std::filesystem;
namespace error = platform::error;

const FlashRegionInfo& Os() { return *FindRegionByName("os"); }
const FlashRegionInfo& App() { return *FindRegionByName("app"); }
constexpr std::array<FlashRegion, 2> kBothCarried{FlashRegion::Os, FlashRegion::App};

struct Rig {
    Rig() {
        for (const auto& [name, value] : BootState::InitialVariables()) {
            environment.values[name] = value;
        }
        group.Add(Os(), "os");
        group.Add(App(), "app");
        Boot("velkor.slot=A");
    }
    fs::path CommandLine() const { return fs::path(folder.path().toStdString()) / "cmdline"; }
    void Boot(const std::string& commandLine) const { std::ofstream(CommandLine()) << commandLine; }
    SlotSwitch MakeSwitch() {
        return SlotSwitch(group, environment, CommandLine(), errors, events,
                          [this](std::string_view line) { debug.emplace_back(line); });
    }
    std::string EventsText() const {
        std::ifstream in(fs::path(folder.path().toStdString()) / "events.log");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    QTemporaryDir folder;
    MemoryEnvironment environment;
    SlotGroup group;
    ErrorState errors;
    EventLog events{fs::path(folder.path().toStdString()) / "events.log"};
    std::vector<std::string> debug;
    std::vector<std::string> copies;
};

struct SwitchCase {
    const char* name;
    std::function<void(Rig&)> arrange;
    // The rows the update writes, and whether each read back equal.
    std::vector<std::pair<const FlashRegionInfo*, bool>> rows;
    std::function<void(Rig&)> duringUpdate;
    bool copyFails;
    std::vector<std::string> copies;
    std::vector<std::string> stores;
    bool committed;
    std::uint32_t error;
};

class SlotSwitchTest : public testing::TestWithParam<SwitchCase> {};

TEST_P(SlotSwitchTest, DisarmsTheSlotNotBootedAndSwitchesOnlyToACompleteGroup) {
    Rig rig;
    if (GetParam().arrange) {
        GetParam().arrange(rig);
    }
    SlotSwitch slotSwitch = rig.MakeSwitch();
    for (const auto& [region, verified] : GetParam().rows) {
        const std::optional<Slot> target = slotSwitch.PrepareWrite(*region, kBothCarried);
        if (!target) {
            break;
        }
        if (!verified) {
            rig.errors.Fail(error::kCrc);
        }
        slotSwitch.Written(*region, verified);
    }
    if (GetParam().duringUpdate) {
        GetParam().duringUpdate(rig);
    }
    const bool committed = slotSwitch.Commit([&](const FlashRegionInfo& region, Slot from, Slot to) {
        rig.copies.push_back(fmt::format("{} {} {}", region.name, SlotLetter(from), SlotLetter(to)));
        if (GetParam().copyFails) {
            return rig.errors.Fail(error::kDiskFull);
        }
        return true;
    }, {}, true);

    EXPECT_EQ(committed, GetParam().committed);
    EXPECT_EQ(rig.copies, GetParam().copies);
    EXPECT_EQ(rig.environment.stores, GetParam().stores);
    if (!committed) {
        EXPECT_EQ(rig.errors.Last(), GetParam().error);
        EXPECT_FALSE(rig.debug.empty()) << "a refusal says why";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Updates, SlotSwitchTest,
    testing::Values(
        SwitchCase{"BothWritten", {}, {{&Os(), true}, {&App(), true}}, {}, false, {},
                   {"BOOT_B_LEFT=0", "BOOT_ORDER=\"B A\" BOOT_B_LEFT=3"}, true, 0},
        SwitchCase{"OsOnlyCopiesTheBootedApp", {}, {{&Os(), true}}, {}, false, {"app A B"},
                   {"BOOT_B_LEFT=0", "BOOT_ORDER=\"B A\" BOOT_B_LEFT=3"}, true, 0},
        SwitchCase{"BootedFromBWritesA",
                   [](Rig& rig) {
                       rig.environment.values["BOOT_B_LEFT"] = "3";
                       rig.Boot("quiet velkor.slot=B");
                   },
                   {{&Os(), true}, {&App(), true}}, {}, false, {},
                   {"BOOT_A_LEFT=0", "BOOT_ORDER=\"A B\" BOOT_A_LEFT=3"}, true, 0},
        // After a commit and before a reboot, B is first in the order but A still runs: B is written
        // again, and only by a card that carries every member.
        SwitchCase{"SecondRunBeforeAReboot",
                   [](Rig& rig) { rig.environment.values = {{"BOOT_ORDER", "B A"}, {"BOOT_A_LEFT", "3"}, {"BOOT_B_LEFT", "3"}}; },
                   {{&Os(), true}, {&App(), true}}, {}, false, {},
                   {"BOOT_B_LEFT=0", "BOOT_ORDER=\"B A\" BOOT_B_LEFT=3"}, true, 0},
        SwitchCase{"ARowFailed", {}, {{&Os(), false}, {&App(), true}}, {}, false, {}, {"BOOT_B_LEFT=0"}, false,
                   error::kCrc},
        SwitchCase{"TheCopyFailed", {}, {{&App(), true}}, {}, true, {"os A B"}, {"BOOT_B_LEFT=0"}, false,
                   error::kDiskFull},
        SwitchCase{"TheOrderChangedMeanwhile", {}, {{&Os(), true}, {&App(), true}},
                   [](Rig& rig) { rig.environment.values["BOOT_ORDER"] = "B A"; }, false, {}, {"BOOT_B_LEFT=0"}, false,
                   error::kInvalidData},
        SwitchCase{"TheBootedSlotChangedMeanwhile", {}, {{&Os(), true}, {&App(), true}},
                   [](Rig& rig) { rig.Boot("velkor.slot=B"); }, false, {}, {"BOOT_B_LEFT=0"}, false,
                   error::kInvalidData},
        SwitchCase{"TheEnvironmentWentBadMeanwhile", {}, {{&Os(), true}, {&App(), true}},
                   [](Rig& rig) { rig.environment.valid = false; }, false, {}, {"BOOT_B_LEFT=0"}, false,
                   error::kInvalidData},
        SwitchCase{"CorruptEnvironment", [](Rig& rig) { rig.environment.valid = false; }, {{&Os(), true}}, {}, false,
                   {}, {}, false, error::kInvalidData},
        SwitchCase{"NoGroupedRow", {}, {}, {}, false, {}, {}, true, 0}),
    [](const testing::TestParamInfo<SwitchCase>& info) { return info.param.name; });

struct ReleaseCase {
    const char* name;
    std::vector<std::pair<const FlashRegionInfo*, bool>> rows;
    std::vector<std::string> stores;
    bool committed;
};

class SlotSwitchReleaseTest : public testing::TestWithParam<ReleaseCase> {};

// What the commit stores beside the switch (the installed release) changes with it or not at all.
TEST_P(SlotSwitchReleaseTest, StoresWhatGoesWithTheSwitchInItsOwnStore) {
    Rig rig;
    SlotSwitch slotSwitch = rig.MakeSwitch();
    for (const auto& [region, verified] : GetParam().rows) {
        ASSERT_TRUE(slotSwitch.PrepareWrite(*region, kBothCarried));
        if (!verified) {
            rig.errors.Fail(error::kCrc);
        }
        slotSwitch.Written(*region, verified);
    }

    EXPECT_EQ(slotSwitch.Commit([](const FlashRegionInfo&, Slot, Slot) { return true; }, {{"VELKOR_VERSION", "7"}}, true),
              GetParam().committed);
    EXPECT_EQ(rig.environment.stores, GetParam().stores);
}

INSTANTIATE_TEST_SUITE_P(
    Updates, SlotSwitchReleaseTest,
    testing::Values(ReleaseCase{"WithTheSwitch", {{&Os(), true}, {&App(), true}},
                                {"BOOT_B_LEFT=0", "BOOT_ORDER=\"B A\" BOOT_B_LEFT=3 VELKOR_VERSION=7"}, true},
                    // A Logo-only update switches nothing, and still records its release.
                    ReleaseCase{"AloneWithoutAGroupedRow", {}, {"VELKOR_VERSION=7"}, true},
                    ReleaseCase{"NeverWhenTheSwitchIsRefused", {{&Os(), false}}, {"BOOT_B_LEFT=0"}, false}),
    [](const testing::TestParamInfo<ReleaseCase>& info) { return info.param.name; });

TEST(SlotSwitchRefusal, AnUpdateThatCannotTellTheBootedSlotWritesNoSlot) {
    Rig rig;
    rig.Boot("console=ttyS0");
    SlotSwitch slotSwitch = rig.MakeSwitch();
    EXPECT_EQ(slotSwitch.PrepareWrite(Os(), kBothCarried), std::nullopt);
    EXPECT_EQ(rig.errors.Last(), error::kInvalidData);
    EXPECT_TRUE(rig.environment.stores.empty());
    EXPECT_NE(rig.debug.back().find("which slot booted cannot be told"), std::string::npos);
}

TEST(SlotSwitchEvents, EachStoreAndCopyIsOneEventsLine) {
    Rig rig;
    SlotSwitch slotSwitch = rig.MakeSwitch();
    slotSwitch.PrepareWrite(Os(), kBothCarried);
    slotSwitch.Written(Os(), true);
    slotSwitch.Commit([](const FlashRegionInfo&, Slot, Slot) { return true; }, {}, true);
    EXPECT_EQ(test::LogTexts(rig.EventsText()),
              (std::vector<std::string>{"environment-store BOOT_B_LEFT=0 -> 1", "slot-copy app A B -> 1",
                                        "environment-store BOOT_ORDER=\"B A\" BOOT_B_LEFT=3 -> 1"}));
}

}  // namespace
}  // namespace velkor::shared
