#include "backend/sim/SimPlatform.h"
#include "backend/sim/TwoSlotDevice.h"
#include "support/ProgramRun.h"
#include "support/ThrowsDeviceError.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace velkor::sim::test {
namespace {

namespace fs = std::filesystem;
using velkor::test::ReadHostFile;
using velkor::test::WriteHostFile;
using Config = nlohmann::json;

void Corrupt(const fs::path& file) {
    std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
    out.write("\x55\xAA\x55\xAA", 4);
}

struct StartCase {
    const char* name;
    std::function<void(const TwoSlotDevice&)> spoil;
    std::string complaint;
};

class TwoSlotStartTest : public testing::TestWithParam<StartCase> {};

TEST_P(TwoSlotStartTest, ABadBootSideStopsTheDeviceBeforeAnythingIsWritten) {
    const QTemporaryDir folder;
    const TwoSlotDevice device(fs::path(folder.path().toStdString()) / "device", {"old os", "old app"});
    GetParam().spoil(device);

    EXPECT_THAT([&] { SimPlatform platform(device.Dir()); }, velkor::test::ThrowsDeviceError(GetParam().complaint));
    EXPECT_FALSE(fs::exists(device.Dir() / "events.log"));
    EXPECT_FALSE(fs::exists(device.SlotFile("os", shared::Slot::B)));
    EXPECT_EQ(ReadHostFile(device.SlotFile("os", shared::Slot::A)), "old os");
}

using Device = const TwoSlotDevice&;

// A spoiling that changes device.json.
std::function<void(Device)> Changed(std::function<void(Config&)> change) {
    return [change](Device d) { d.ChangeConfig(change); };
}

INSTANTIATE_TEST_SUITE_P(
    Spoiled, TwoSlotStartTest,
    testing::Values(
        StartCase{"BothCopiesCorrupt",
                  [](Device d) { Corrupt(d.Dir() / "uboot.env"); Corrupt(d.Dir() / "uboot-redund.env"); },
                  "neither copy holds a valid environment"},
        StartCase{"ShortCopy", [](Device d) { fs::resize_file(d.Dir() / "uboot-redund.env", 4096); },
                  "fewer than its offset 0 and size 8192"},
        StartCase{"NoEnvironment",
                  [](Device d) { fs::remove(d.Dir() / "uboot.env"); fs::remove(d.Dir() / "uboot-redund.env"); },
                  "velkor-device env-init"},
        StartCase{"OrderNamesASlotThatDoesNotExist", [](Device d) { d.Environment().Store({{"BOOT_ORDER", "A C"}}); },
                  "it must name the slots that exist"},
        StartCase{"CommandLineNamesASlotThatDoesNotExist",
                  [](Device d) { WriteHostFile(d.Dir() / "cmdline", "velkor.slot=C\n"); }, "only A and B exist"},
        StartCase{"SlotsOfDifferentSizes",
                  Changed([](Config& c) { c["flashRegions"]["app"]["slots"] = {4194304, 2097152}; }),
                  "two slots of the same size"},
        StartCase{"ThreeSlots",
                  Changed([](Config& c) { c["flashRegions"]["os"]["slots"] = {4194304, 4194304, 4194304}; }),
                  "a list of the two slots' sizes"},
        StartCase{"TwoSlotsForTheBootLoader",
                  Changed([](Config& c) { c["flashRegions"]["boot"] = {{"slots", {1048576, 1048576}}}; }),
                  "the boot region is always written in place"},
        StartCase{"EnvironmentSizeOfZero", Changed([](Config& c) { c["bootEnvironment"]["size"] = 0; }),
                  "bootEnvironment.size"}),
    [](const testing::TestParamInfo<StartCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::sim::test
