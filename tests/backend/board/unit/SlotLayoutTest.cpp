#include "backend/board/TargetConfigReader.h"
#include "backend/board/flash/SlotLayout.h"
#include "support/ProgramRun.h"
#include "support/ThrowsDeviceError.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <functional>
#include <string>

namespace velkor::board {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr std::uint64_t kSlotBytes = 64 * 1024;
constexpr std::uint64_t kEnvironmentBytes = 0x2000;

// A target of regular files: boot and logo in place, two-slot OS and App, the environment in a
// file of its own holding both copies side by side.
struct LayoutRig {
    LayoutRig() {
        for (const char* name : {"boot", "logo", "os-a", "os-b", "app-a", "app-b"}) {
            Make(name, kSlotBytes);
        }
        Make("env", 2 * kEnvironmentBytes);
        target = {{"registry", "platform.reg"},
                  {"folders", json::object()},
                  {"flashRegions",
                   {{"boot", "boot"}, {"logo", "logo"}, {"os", {{"slots", {"os-a", "os-b"}}}},
                    {"app", {{"slots", {"app-a", "app-b"}}}}}},
                  {"bootEnvironment",
                   {{"copies",
                     {{{"device", "env"}, {"offset", 0}, {"size", kEnvironmentBytes}},
                      {{"device", "env"}, {"offset", "0x2000"}, {"size", "0x2000"}}}}}},
                  {"log", "log"}};
    }
    fs::path Path(const std::string& name) const { return fs::path(folder.path().toStdString()) / name; }
    void Make(const std::string& name, std::uint64_t bytes) const {
        velkor::test::WriteHostFile(Path(name), "");
        fs::resize_file(Path(name), bytes);
    }
    TargetConfig Config() const { return ParseTargetConfig(target.dump(), Path("target.json")); }

    QTemporaryDir folder;
    json target;
};

struct LayoutCase {
    const char* name;
    std::function<void(LayoutRig&)> change;
    // Empty for a layout without problems.
    std::string problem;
};

class SlotLayoutTest : public testing::TestWithParam<LayoutCase> {};

TEST_P(SlotLayoutTest, RefusesSlotsAndEnvironmentCopiesThatShareBytes) {
    LayoutRig rig;
    GetParam().change(rig);
    const std::vector<std::string> problems = SlotLayoutProblems(rig.Config());
    if (GetParam().problem.empty()) {
        EXPECT_TRUE(problems.empty()) << problems.front();
        return;
    }
    ASSERT_FALSE(problems.empty());
    EXPECT_NE(problems.front().find(GetParam().problem), std::string::npos) << problems.front();
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, SlotLayoutTest,
    testing::Values(
        LayoutCase{"Apart", [](LayoutRig&) {}, ""},
        LayoutCase{"EnvironmentInTheBootLoaderRegion",
                   [](LayoutRig& rig) { rig.target["bootEnvironment"]["copies"][1]["device"] = "boot"; },
                   "bootEnvironment.copies[1]: the environment at offset 8192 in"},
        LayoutCase{"EnvironmentInASlot",
                   [](LayoutRig& rig) { rig.target["bootEnvironment"]["copies"][0]["device"] = "app-b"; },
                   "overlaps flashRegions.app.slots[1]"},
        LayoutCase{"CopiesOverlapEachOther",
                   [](LayoutRig& rig) { rig.target["bootEnvironment"]["copies"][1]["offset"] = "0x1000"; },
                   "the two copies overlap"},
        LayoutCase{"CopyPastTheEndOfItsDevice",
                   [](LayoutRig& rig) { rig.target["bootEnvironment"]["copies"][1]["offset"] = 0x3000; },
                   "fewer than the copy's offset 12288 and size 8192"},
        LayoutCase{"SlotIsAnotherRegion",
                   [](LayoutRig& rig) { rig.target["flashRegions"]["app"]["slots"][1] = "logo"; },
                   "flashRegions.app.slots[1]"},
        LayoutCase{"SlotIsTheOtherSlot",
                   [](LayoutRig& rig) { rig.target["flashRegions"]["os"]["slots"][1] = "os-a"; },
                   "reaches the same bytes as"},
        LayoutCase{"SlotsOfDifferentSizes", [](LayoutRig& rig) { rig.Make("os-b", kSlotBytes / 2); },
                   "flashRegions.os.slots: the two slots differ in size"},
        LayoutCase{"SlotMissing", [](LayoutRig& rig) { fs::remove(rig.Path("app-a")); },
                   "flashRegions.app.slots[0]"}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return info.param.name; });

struct ReaderCase {
    const char* name;
    std::function<void(json&)> change;
    std::string complaint;
};

class TargetSlotsReaderTest : public testing::TestWithParam<ReaderCase> {};

TEST_P(TargetSlotsReaderTest, NamesTheFieldAtFault) {
    LayoutRig rig;
    GetParam().change(rig.target);
    EXPECT_THAT([&] { rig.Config(); }, test::ThrowsDeviceError(GetParam().complaint));
}

INSTANTIATE_TEST_SUITE_P(
    Fields, TargetSlotsReaderTest,
    testing::Values(
        ReaderCase{"TwoSlotsForTheBootLoader",
                   [](json& target) { target["flashRegions"]["boot"] = {{"slots", {"boot", "logo"}}}; },
                   "\"flashRegions.boot\" must be a host path: the boot region is always written in place"},
        ReaderCase{"OneSlot", [](json& target) { target["flashRegions"]["os"]["slots"] = {"os-a"}; },
                   "\"flashRegions.os.slots\""},
        ReaderCase{"NoEnvironment", [](json& target) { target.erase("bootEnvironment"); },
                   "\"bootEnvironment\" is missing"},
        ReaderCase{"CopiesOfTwoSizes",
                   [](json& target) { target["bootEnvironment"]["copies"][1]["size"] = 0x4000; },
                   "two copies of one size"},
        ReaderCase{"SizeNotANumber",
                   [](json& target) { target["bootEnvironment"]["copies"][0]["size"] = "big"; },
                   "\"bootEnvironment.copies[0].size\""}),
    [](const testing::TestParamInfo<ReaderCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::board
