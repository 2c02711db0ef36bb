#include "storage/DataVolumeFormat.h"

#include "backend/sim/DeviceInit.h"
#include "backend/sim/SimPlatform.h"
#include "support/HandleCountingPlatform.h"
#include "support/LogTexts.h"
#include "support/ProgramRun.h"
#include "support/StringLists.h"

#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <vector>

namespace velkor::storage {
namespace {

using test::operator+;
namespace fs = std::filesystem;
using nlohmann::json;
using test::ReadHostFile;
using test::WriteHostFile;

// A line as expected, '#' standing for any number (error codes, handle values).
testing::Matcher<std::string> Line(const std::string& pattern) {
    const std::string escaped = std::regex_replace(pattern, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
    return testing::MatchesRegex(std::regex_replace(escaped, std::regex("#"), "-?[0-9]+"));
}

std::vector<testing::Matcher<std::string>> Lines(const std::vector<std::string>& patterns) {
    std::vector<testing::Matcher<std::string>> matchers;
    for (const std::string& pattern : patterns) {
        matchers.push_back(Line(pattern));
    }
    return matchers;
}

// A device as `velkor-device init` makes it; a case changes its device.json and platform.reg.
struct Device {
    json config;
    std::string registry;
};

struct FormatCase {
    const char* name;
    std::function<void(Device&)> change;
    std::vector<std::string> debugLines;
    std::vector<std::string> events;
    bool formatted = false;
};

json& DataStore(Device& device) { return device.config["stores"][1]; }

std::function<void(Device&)> Fault(const char* name, json value) {
    return [=](Device& device) { device.config["faults"][name] = value; };
}

const std::vector<std::string> kChoosingTheStore{
    "si.sdi.szProfile = NandFLASH", "si.sdi.szProfile = BinFLASH", "szDisplayName =DSK2: Bin Flash",
    "pszDev =DSK2:"};
const std::vector<std::string> kVolumeRead{
    "device-control \\VKRFlash\\Vol: 0x00070204 null 0 -> 1",
    "device-control \\VKRFlash\\Vol: 0x00070208 null 0 -> 1"};


const std::vector<std::string> kPartitionRead =
    kChoosingTheStore + std::vector<std::string>{"szPartName =Part00", "ppartInfo->szVolumeName = \\VKRFlash\\Vol:,#,#",
                                                 "bGetFatinfo = 1,#"};
const std::vector<std::string> kDiskInfo{"device-control DSK2: Part00 0x00000001 buffer 24 -> 1"};
const std::vector<std::string> kFormatRun{"dismount DSK2: Part00 -> 1", "format DSK2: Part00 2048 512 12 2 3 -> 0",
                                          "mount DSK2: Part00 -> 1"};

class FormatDataVolumeTest : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatDataVolumeTest, FormatsOnlyTheDataVolumeAndClosesEveryHandle) {
    const FormatCase& c = GetParam();
    QTemporaryDir temporary;
    const fs::path dir = fs::path(temporary.path().toStdString()) / "device";
    sim::InitDevice(dir, sim::DeviceOptions{});
    Device device{json::parse(ReadHostFile(dir / "device.json")), ReadHostFile(dir / "platform.reg")};
    c.change(device);
    WriteHostFile(dir / "device.json", device.config.dump());
    WriteHostFile(dir / "platform.reg", device.registry);
    sim::SimPlatform sim(dir);
    test::HandleCountingPlatform counting(sim.platform());

    FormatDataVolume(counting.platform());

    EXPECT_THAT(test::LogTexts(ReadHostFile(dir / "debug.log")), testing::ElementsAreArray(Lines(c.debugLines)));
    EXPECT_THAT(test::LogTexts(ReadHostFile(dir / "events.log")), testing::ElementsAreArray(Lines(c.events)));
    EXPECT_EQ(fs::exists(dir / "root/VKRFlash/$MSD$/startup.log"), !c.formatted);
    EXPECT_TRUE(fs::exists(dir / "root/NandFlash/$MSD$/startup.log")) << "only the data volume is formatted";
    EXPECT_EQ(counting.OpenHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, FormatDataVolumeTest,
    testing::Values(
        FormatCase{"Formats", [](Device&) {}, kPartitionRead + std::vector<std::string>{"Format succeed"},
                   kVolumeRead + kDiskInfo + kFormatRun, true},
        FormatCase{"ProfileInOtherCase", [](Device& d) { DataStore(d)["profile"] = "binflash"; },
                   {"si.sdi.szProfile = NandFLASH", "si.sdi.szProfile = binflash", "szDisplayName =DSK2: Bin Flash",
                    "pszDev =DSK2:", "szPartName =Part00", "ppartInfo->szVolumeName = \\VKRFlash\\Vol:,#,#",
                    "bGetFatinfo = 1,#", "Format succeed"},
                   kVolumeRead + kDiskInfo + kFormatRun, true},
        FormatCase{"OnlyTheFirstFlashStore",
                   [](Device& d) {
                       json second = DataStore(d);
                       second["deviceName"] = "DSK3:";
                       d.config["stores"].push_back(second);
                   },
                   kPartitionRead + std::vector<std::string>{"Format succeed"}, kVolumeRead + kDiskInfo + kFormatRun,
                   true},
        FormatCase{"ProfileWithoutName",
                   [](Device& d) { d.registry = std::regex_replace(d.registry, std::regex("\"Name\"=\"Bin Flash\"\n"), ""); },
                   {"si.sdi.szProfile = NandFLASH", "si.sdi.szProfile = BinFLASH", "szDisplayName =DSK2:",
                    "pszDev =DSK2:", "szPartName =Part00", "ppartInfo->szVolumeName = \\VKRFlash\\Vol:,#,#",
                    "bGetFatinfo = 1,#", "Format succeed"},
                   kVolumeRead + kDiskInfo + kFormatRun, true},
        FormatCase{"NineCharacterPrefixExactly",
                   [](Device& d) {
                       json& partitions = DataStore(d)["partitions"];
                       for (const char* volume : {"\\VKRFlashData", "\\vkrflash2"}) {
                           json partition = partitions[0];
                           partition["name"] = std::string("Part0") + std::to_string(partitions.size());
                           partition["volume"] = volume;
                           partition["folder"] = std::string(volume + 1);
                           partitions.push_back(partition);
                       }
                   },
                   kPartitionRead + std::vector<std::string>{"Format succeed", "szPartName =Part01",
                                                             "ppartInfo->szVolumeName = \\VKRFlashData\\Vol:,#,#",
                                                             "bGetFatinfo = 1,#", "Format succeed",
                                                             "szPartName =Part02"},
                   kVolumeRead + kDiskInfo + kFormatRun +
                       std::vector<std::string>{"device-control \\VKRFlashData\\Vol: 0x00070204 null 0 -> 1",
                                                "device-control \\VKRFlashData\\Vol: 0x00070208 null 0 -> 1",
                                                "device-control DSK2: Part01 0x00000001 buffer 24 -> 1",
                                                "dismount DSK2: Part01 -> 1",
                                                "format DSK2: Part01 2048 512 12 2 3 -> 0",
                                                "mount DSK2: Part01 -> 1"},
                   true},
        FormatCase{"NoFlashStore", [](Device& d) { d.config["stores"].erase(1); }, {"si.sdi.szProfile = NandFLASH"},
                   {}},
        FormatCase{"NoStores", [](Device& d) { d.config.erase("stores"); }, {}, {}},
        FormatCase{"StoreDoesNotOpen", Fault("storeOpenFails", {"DSK2:"}), kChoosingTheStore, {}},
        FormatCase{"PartitionSearchFails", Fault("partitionSearchFails", {"DSK2:"}),
                   kChoosingTheStore + std::vector<std::string>{"FindFirstPartition FAIL = #"}, {}},
        FormatCase{"VolumeDeviceAbsent", Fault("volumeDeviceAbsent", {"\\VKRFlash"}),
                   kChoosingTheStore + std::vector<std::string>{"szPartName =Part00",
                                                                "ppartInfo->szVolumeName = \\VKRFlash\\Vol:,#,-1",
                                                                "ppartInfo->szVolumeName = \\VKRFlash\\Vol:,#,-1",
                                                                "bGetFatinfo = 0,#"},
                   {}},
        FormatCase{"VolumeParametersShort", Fault("volumeParametersShort", true),
                   kChoosingTheStore + std::vector<std::string>{"szPartName =Part00",
                                                                "ppartInfo->szVolumeName = \\VKRFlash\\Vol:,#,#",
                                                                "DeviceIoControlIOCTL_DISK_GET_VOLUME_PARAMETERS",
                                                                "bGetFatinfo = 0,#"},
                   {"device-control \\VKRFlash\\Vol: 0x00070204 null 0 -> 1"}},
        FormatCase{"FreeSpaceShort", Fault("freeSpaceShort", true),
                   kChoosingTheStore + std::vector<std::string>{"szPartName =Part00",
                                                                "ppartInfo->szVolumeName = \\VKRFlash\\Vol:,#,#",
                                                                "DeviceIoControlIOCTL_DISK_GET_FREE_SPACE = #",
                                                                "bGetFatinfo = 0,#"},
                   kVolumeRead},
        FormatCase{"PartitionDoesNotOpen", Fault("partitionOpenFails", {"DSK2:"}), kPartitionRead, kVolumeRead},
        FormatCase{"LibraryMissing", Fault("formatLibraryMissing", true), kPartitionRead, kVolumeRead},
        FormatCase{"EntryPointMissing", Fault("formatEntryMissing", true), kPartitionRead, kVolumeRead},
        FormatCase{"DiskInfoFails", Fault("diskInfoFails", true), kPartitionRead,
                   kVolumeRead + std::vector<std::string>{"device-control DSK2: Part00 0x00000001 buffer 24 -> 0 error #"}},
        FormatCase{"DismountFails", Fault("dismountFails", true), kPartitionRead,
                   kVolumeRead + kDiskInfo + std::vector<std::string>{"dismount DSK2: Part00 -> 0 error #"}},
        FormatCase{"FormatFails", Fault("formatFails", true), kPartitionRead + std::vector<std::string>{"Format fail"},
                   kVolumeRead + kDiskInfo +
                       std::vector<std::string>{"dismount DSK2: Part00 -> 1", "format DSK2: Part00 2048 512 12 2 3 -> #",
                                                "mount DSK2: Part00 -> 1"}}),
    [](const testing::TestParamInfo<FormatCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::storage
