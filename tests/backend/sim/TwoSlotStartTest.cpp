#include "backend/shared/DeviceError.h"
#include "backend/sim/SimPlatform.h"
#include "backend/sim/TwoSlotDevice.h"
#include "support/ProgramRun.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace velkor::sim::test {
namespace {

namespace fs = std::filesystem;
using velkor::test::ReadHostFile;
using velkor::test::WriteHostFile;

void Corrupt(const fs::path& file) {
    std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
    out.write("\x55\xAA\x55\xAA", 4);
}

void ChangeConfig(const fs::path& dir, const std::function<void(nlohmann::json&)>& change) {
    nlohmann::json config = nlohmann::json::parse(ReadHostFile(dir / "device.json"));
    change(config);
    WriteHostFile(dir / "device.json", config.dump(1));
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
    const std::string flashBefore = ReadHostFile(device.SlotFile("os", shared::Slot::A));

    try {
        SimPlatform platform(device.Dir());
        ADD_FAILURE() << "the device opened";
    } catch (const shared::DeviceError& error) {
        EXPECT_NE(std::string(error.what()).find(GetParam().complaint), std::string::npos) << error.what();
    }
    EXPECT_FALSE(fs::exists(device.Dir() / "events.log"));
    EXPECT_FALSE(fs::exists(device.SlotFile("os", shared::Slot::B)));
    EXPECT_EQ(ReadHostFile(device.SlotFile("os", shared::Slot::A)), flashBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Spoiled, TwoSlotStartTest,
    testing::Values(
        StartCase{"BothCopiesCorrupt",
                  [](const TwoSlotDevice& device) {
                      Corrupt(device.Dir() / "uboot.env");
                      Corrupt(device.Dir() / "uboot-redund.env");
                  },
                  "neither copy holds a valid environment"},
        StartCase{"ShortCopy",
                  [](const TwoSlotDevice& device) {
                      fs::resize_file(device.Dir() / "uboot-redund.env", TwoSlotDevice::kEnvironmentBytes / 2);
                  },
                  "fewer than its offset 0 and size 8192"},
        StartCase{"NoEnvironment",
                  [](const TwoSlotDevice& device) {
                      fs::remove(device.Dir() / "uboot.env");
                      fs::remove(device.Dir() / "uboot-redund.env");
                  },
                  "velkor-device env-init"},
        StartCase{"OrderNamesASlotThatDoesNotExist",
                  [](const TwoSlotDevice& device) { device.Environment().Store({{"BOOT_ORDER", "A C"}}); },
                  "it must name the slots that exist"},
        StartCase{"CommandLineNamesASlotThatDoesNotExist",
                  [](const TwoSlotDevice& device) { WriteHostFile(device.Dir() / "cmdline", "velkor.slot=C\n"); },
                  "only A and B exist"},
        StartCase{"SlotsOfDifferentSizes",
                  [](const TwoSlotDevice& device) {
                      ChangeConfig(device.Dir(), [](nlohmann::json& config) {
                          config["flashRegions"]["app"]["slots"] = {4194304, 2097152};
                      });
                  },
                  "two slots of the same size"},
        StartCase{"ThreeSlots",
                  [](const TwoSlotDevice& device) {
                      ChangeConfig(device.Dir(), [](nlohmann::json& config) {
                          config["flashRegions"]["os"]["slots"] = {4194304, 4194304, 4194304};
                      });
                  },
                  "a list of the two slots' sizes"},
        StartCase{"TwoSlotsForTheBootLoader",
                  [](const TwoSlotDevice& device) {
                      ChangeConfig(device.Dir(), [](nlohmann::json& config) {
                          config["flashRegions"]["boot"] = {{"slots", {1048576, 1048576}}};
                      });
                  },
                  "the boot region is always written in place"},
        StartCase{"EnvironmentSizeOfZero",
                  [](const TwoSlotDevice& device) {
                      ChangeConfig(device.Dir(), [](nlohmann::json& config) { config["bootEnvironment"]["size"] = 0; });
                  },
                  "bootEnvironment.size"}),
    [](const testing::TestParamInfo<StartCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::sim::test
