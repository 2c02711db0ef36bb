#include "backend/sim/TwoSlotDevice.h"
#include "support/ProgramRun.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace velkor::sim::test {
namespace {

namespace fs = std::filesystem;
using velkor::test::ProgramResult;
using velkor::test::RunProgram;

constexpr std::uint64_t kMebibyte = 1024 * 1024;

ProgramResult Tool(const QStringList& arguments) { return RunProgram(VELKOR_DEVICE_BINARY, arguments); }

QString Text(const fs::path& path) { return QString::fromStdString(path.string()); }

// A device whose slot A holds the old generation, booted and good, with a card of a new OS and App.
struct BootRig {
    BootRig() : device(fs::path(folder.path().toStdString()) / "device", {Old(), OldApp()}) {
        device.PutOnCard(update::ImageKind::OS, NewOs());
        device.PutOnCard(update::ImageKind::App, NewApp());
    }
    static std::string Old() { return PatternBytes(kMebibyte, 1); }
    static std::string OldApp() { return PatternBytes(kMebibyte / 2, 2); }
    static std::string NewOs() { return PatternBytes(kMebibyte + 3, 3); }
    static std::string NewApp() { return PatternBytes(kMebibyte / 2 + 1, 4); }

    void Update() const {
        RunUpdate(device.Dir(), CardSettings(device, {{update::ImageKind::OS, true}, {update::ImageKind::App, true}}));
    }
    ProgramResult Boot() const { return Tool({"boot", Text(device.Dir())}); }
    ProgramResult MarkGood() const { return Tool({"mark-good", "--device", Text(device.Dir())}); }
    // The card left in the device, as the program finds it at its start.
    ProgramResult Install() const {
        return Tool({"install", Text(device.Dir() / "root/StorageCard"), "--device", Text(device.Dir())});
    }

    QTemporaryDir folder;
    TwoSlotDevice device;
};

// One step of a device's life: "update", "boot A" / "boot B" (which slot boots), "boot none" (none
// can), "mark-good", "mark-good refused", "install N" (the card left in runs, and install exits with N).
struct LifeCase {
    const char* name;
    std::vector<std::string> steps;
    // BOOT_A_LEFT and BOOT_B_LEFT at the end.
    std::pair<unsigned, unsigned> triesLeft;
};

class BootCounterTest : public testing::TestWithParam<LifeCase> {};

TEST_P(BootCounterTest, TheBootLoaderFallsBackUnlessTheNewSlotIsMarkedGood) {
    BootRig rig;
    for (const std::string& step : GetParam().steps) {
        SCOPED_TRACE(step);
        if (step == "update") {
            rig.Update();
        } else if (step.starts_with("install")) {
            const ProgramResult install = rig.Install();
            EXPECT_EQ(install.exitCode, std::stoi(step.substr(8))) << install.standardError.toStdString();
        } else if (step.starts_with("boot")) {
            const ProgramResult boot = rig.Boot();
            const bool none = step == "boot none";
            ASSERT_EQ(boot.exitCode, none ? 1 : 0) << boot.standardError.toStdString();
            if (!none) {
                EXPECT_TRUE(boot.standardOutput.contains(("Booted slot " + step.substr(5)).c_str()))
                    << boot.standardOutput.toStdString();
            }
        } else {
            EXPECT_EQ(rig.MarkGood().exitCode, step == "mark-good" ? 0 : 1);
        }
    }
    const shared::BootState state = rig.device.Environment().Read();
    EXPECT_EQ(state.TriesLeft(shared::Slot::A), GetParam().triesLeft.first);
    EXPECT_EQ(state.TriesLeft(shared::Slot::B), GetParam().triesLeft.second);
}

INSTANTIATE_TEST_SUITE_P(
    Lives, BootCounterTest,
    testing::Values(
        LifeCase{"ACommitNeverMarkedGoodFallsBack",
                 {"update", "boot B", "boot B", "boot B", "boot A"},
                 {2, 0}},
        LifeCase{"MarkGoodKeepsTheNewSlot",
                 {"update", "boot B", "mark-good", "boot B", "mark-good", "boot B", "mark-good", "boot B"},
                 {3, 2}},
        LifeCase{"MarkGoodAfterAFallbackDoesNotReArmTheFailedSlot",
                 {"update", "boot B", "boot B", "boot B", "boot A", "mark-good", "boot A"},
                 {2, 0}},
        LifeCase{"ACardLeftInNeverRewritesTheFallback",
                 {"install 0", "boot B", "install 6", "mark-good", "install 7", "boot B", "boot B", "boot B",
                  "boot A"},
                 {2, 0}},
        LifeCase{"NoSlotWithTriesLeftBootsNothing",
                 {"update", "boot B", "boot B", "boot B", "boot A", "boot A", "boot A", "boot none",
                  "mark-good refused"},
                 {0, 0}}),
    [](const testing::TestParamInfo<LifeCase>& info) { return info.param.name; });

TEST(BootCommand, PrintsTheBootedSlotAndWhatEachRegionHolds) {
    BootRig rig;
    rig.Update();
    const ProgramResult boot = rig.Boot();
    const std::string out = boot.standardOutput.toStdString();
    EXPECT_NE(out.find("the kernel command line has velkor.slot=B"), std::string::npos) << out;
    EXPECT_NE(out.find("os    slot B"), std::string::npos) << out;
    EXPECT_EQ(velkor::test::ReadHostFile(rig.device.Dir() / "cmdline"), "velkor.slot=B\n");
}

struct ToolRefusalCase {
    const char* name;
    std::function<QStringList(const fs::path& dir)> arguments;
    std::string complaint;
};

class BootSideRefusalTest : public testing::TestWithParam<ToolRefusalCase> {};

TEST_P(BootSideRefusalTest, RefusesWithAClearErrorAndChangesNothing) {
    BootRig rig;
    fs::remove(rig.device.Dir() / "cmdline");
    const std::string before = velkor::test::ReadHostFile(rig.device.Dir() / "uboot.env");

    const ProgramResult result = Tool(GetParam().arguments(rig.device.Dir()));

    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.standardError.toStdString().find(GetParam().complaint), std::string::npos)
        << result.standardError.toStdString();
    EXPECT_EQ(velkor::test::ReadHostFile(rig.device.Dir() / "uboot.env"), before);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, BootSideRefusalTest,
    testing::Values(
        ToolRefusalCase{"MarkGoodCannotTellTheBootedSlot",
                        [](const fs::path& dir) { return QStringList{"mark-good", "--device", Text(dir)}; },
                        "which slot booted cannot be told"},
        ToolRefusalCase{"EnvInitWithBadDefaults",
                        [](const fs::path& dir) {
                            velkor::test::WriteHostFile(dir.parent_path() / "defaults", "bootcmd\n");
                            return QStringList{"env-init", "--device", Text(dir), "--defaults",
                                               Text(dir.parent_path() / "defaults")};
                        },
                        "line 1: \"bootcmd\" is not a variable as name=value"},
        ToolRefusalCase{"ADeviceWithoutSlots",
                        [](const fs::path& dir) {
                            const fs::path plain = dir.parent_path() / "plain";
                            RunProgram(VELKOR_DEVICE_BINARY, {"init", Text(plain)});
                            return QStringList{"env-init", "--device", Text(plain)};
                        },
                        "has no two-slot regions"}),
    [](const testing::TestParamInfo<ToolRefusalCase>& info) { return info.param.name; });

TEST(CheckTargetSlots, RefusesAnEnvironmentInsideTheBootLoaderRegionAndShowsTheBootSide) {
    const QTemporaryDir folder;
    const fs::path dir = folder.path().toStdString();
    for (const char* name : {"boot", "logo", "os-a", "os-b", "app-a", "app-b", "env"}) {
        velkor::test::WriteHostFile(dir / name, std::string(64 * 1024, '\0'));
    }
    velkor::test::WriteHostFile(dir / "platform.reg", "");
    velkor::test::WriteHostFile(dir / "target.json", R"({
        "registry": "platform.reg", "folders": {}, "log": "log",
        "flashRegions": {"boot": "boot", "logo": "logo", "os": {"slots": ["os-a", "os-b"]},
                         "app": {"slots": ["app-a", "app-b"]}},
        "bootEnvironment": {"copies": [{"device": "boot", "offset": "0xC000", "size": "0x2000"},
                                       {"device": "env", "offset": 0, "size": "0x2000"}]}})");

    const ProgramResult check = Tool({"check-target", Text(dir / "target.json")});

    const std::string out = check.standardOutput.toStdString();
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_NE(out.find("os    0x800020DC  slot B"), std::string::npos) << out;
    EXPECT_NE(out.find("bootEnvironment.copies[0]: the environment at offset 49152"), std::string::npos) << out;
    EXPECT_NE(out.find("overlaps flashRegions.boot"), std::string::npos) << out;
}

// A new device: the boot side's first lines are the first of its events.log, in a folder not yet made.
TEST(BootSideOnATarget, LogsToAnEventsLogInAFolderItMakes) {
    const QTemporaryDir folder;
    const fs::path dir = folder.path().toStdString();
    velkor::test::WriteHostFile(dir / "platform.reg", "");
    velkor::test::WriteHostFile(dir / "cmdline", "root=/dev/vda velkor.slot=A\n");
    velkor::test::WriteHostFile(dir / "target.json", R"({
        "registry": "platform.reg", "folders": {}, "log": "log/velkor",
        "flashRegions": {"boot": "boot", "logo": "logo", "os": {"slots": ["os-a", "os-b"]},
                         "app": {"slots": ["app-a", "app-b"]}},
        "bootEnvironment": {"copies": [{"device": "env-1", "offset": 0, "size": "0x2000"},
                                       {"device": "env-2", "offset": 0, "size": "0x2000"}],
                            "commandLine": "cmdline"}})");

    const ProgramResult bare = Tool({"env-init", "--target", Text(dir / "target.json")});
    velkor::test::WriteHostFile(dir / "u-boot-initial-env", "bootcmd=run velkor_boot\n");
    const ProgramResult init =
        Tool({"env-init", "--target", Text(dir / "target.json"), "--defaults", Text(dir / "u-boot-initial-env")});
    const ProgramResult good = Tool({"mark-good", "--target", Text(dir / "target.json")});

    EXPECT_NE(bare.standardError.toStdString().find("give --defaults FILE"), std::string::npos)
        << bare.standardError.toStdString();
    ASSERT_EQ(init.exitCode, 0) << init.standardError.toStdString();
    ASSERT_EQ(good.exitCode, 0) << good.standardError.toStdString();
    const std::string events = velkor::test::ReadHostFile(dir / "log" / "velkor" / "events.log");
    EXPECT_NE(events.find(R"(environment-store BOOT_ORDER="A B" BOOT_A_LEFT=3 BOOT_B_LEFT=0 -> 1)"), std::string::npos)
        << events;
    EXPECT_NE(events.find("environment-store BOOT_A_LEFT=3 -> 1"), std::string::npos) << events;
}

}  // namespace
}  // namespace velkor::sim::test
