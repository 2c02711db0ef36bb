#include "backend/shared/DismountedFolders.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "platform/DeviceText.h"
#include "platform/DiskControlCodes.h"
#include "backend/board/storage/TargetFormatLibrary.h"
#include "backend/board/storage/TargetStorageManager.h"
#include "backend/board/support/TempFolder.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace velkor::test {
namespace {

namespace error = platform::error;

// The storage manager and format library over two stores whose devices are never touched.
struct Lookup {
    TempFolder temp;
    std::vector<board::StoreTarget> stores{
        {u"DSK1:", u"NandFLASH", {}},
        {u"DSK2:",
         u"BinFLASH",
         {{u"Part00", u"\\VKRFlash", "/dev/null", "/"}, {u"Part01", u"\\Big", "/dev/null", "/"}}},
    };
    board::TargetCommands commands;
    board::CommandRunner runner;
    shared::DismountedFolders dismounted;
    shared::ErrorState errors;
    shared::EventLog events{temp.Path() / "events.log"};
    board::TargetStorageManager storage{stores, commands, runner, dismounted, errors, events};
    board::TargetFormatLibrary formats{errors, events};
    std::unique_ptr<platform::Store> store;
};

template <typename Handle>
std::string Opened(const Handle& handle) {
    return handle ? "opened" : "-";
}

std::string PartitionNames(Lookup& lookup) {
    const std::unique_ptr<platform::Store> store = lookup.storage.OpenStore(u"dsk2:");
    platform::PartitionInfo partition;
    const std::unique_ptr<platform::PartitionSearch> search = store->FindFirstPartition(partition);
    std::string names;
    for (bool found = search != nullptr; found; found = search->FindNext(partition)) {
        names += platform::ToUtf8(partition.partitionName + u" " + partition.volumeName) + ";";
    }
    return names;
}

// Keeps the store open for the partition.
std::unique_ptr<platform::Partition> OpenPartition(Lookup& lookup, std::u16string_view name) {
    lookup.store = lookup.storage.OpenStore(u"DSK2:");
    return lookup.store->OpenPartition(name);
}

struct LookupCase {
    const char* name;
    std::function<std::string(Lookup&)> act;
    std::string found;
    std::uint32_t error;
};

class LookupTest : public ::testing::TestWithParam<LookupCase> {};

TEST_P(LookupTest, FindsWhatTheTargetFileNames) {
    Lookup lookup;
    EXPECT_EQ(GetParam().act(lookup), GetParam().found);
    EXPECT_EQ(lookup.errors.Last(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Names, LookupTest,
    ::testing::Values(
        LookupCase{"PartitionsOfAStoreInAnyCase", PartitionNames, "Part00 \\VKRFlash;Part01 \\Big;",
                   error::kNoMoreItems},
        LookupCase{"NoSuchStore", [](Lookup& l) { return Opened(l.storage.OpenStore(u"DSK3:")); }, "-",
                   error::kFileNotFound},
        LookupCase{"PartitionInAnyCase", [](Lookup& l) { return Opened(OpenPartition(l, u"PART01")); },
                   "opened", error::kSuccess},
        LookupCase{"NoSuchPartition", [](Lookup& l) { return Opened(OpenPartition(l, u"Part02")); }, "-",
                   error::kFileNotFound},
        LookupCase{"PartitionRefusesOtherCodes",
                   [](Lookup& l) {
                       std::vector<std::uint8_t> reply(platform::kVolumeParametersBytes);
                       const int answer = OpenPartition(l, u"Part00")->Control(
                           platform::IOCTL_DISK_GET_VOLUME_PARAMETERS, nullptr, 0, reply.data(), reply.size(), nullptr);
                       return std::to_string(answer);
                   },
                   "0", error::kNotSupported},
        LookupCase{"VolumeDeviceInAnyCase",
                   [](Lookup& l) { return Opened(l.storage.OpenVolumeDevice(u"\\big\\VOL:")); }, "opened",
                   error::kSuccess},
        LookupCase{"VolumeDeviceWhileOpen",
                   [](Lookup& l) {
                       const auto first = l.storage.OpenVolumeDevice(u"\\VKRFlash\\Vol:");
                       return Opened(l.storage.OpenVolumeDevice(u"\\VKRFlash\\Vol:"));
                   },
                   "-", error::kSharingViolation},
        LookupCase{"VolumeDeviceAgainOnceClosed",
                   [](Lookup& l) {
                       l.storage.OpenVolumeDevice(u"\\VKRFlash\\Vol:");
                       return Opened(l.storage.OpenVolumeDevice(u"\\VKRFlash\\Vol:"));
                   },
                   "opened", error::kSuccess},
        LookupCase{"NoLibraryButTheFatUtility",
                   [](Lookup& l) { return Opened(l.formats.LoadLibrary(u"FATUTIL2.dll")); }, "-",
                   error::kModuleNotFound},
        LookupCase{"VolumeWithoutItsDeviceSuffix",
                   [](Lookup& l) { return Opened(l.storage.OpenVolumeDevice(u"\\VKRFlash")); }, "-",
                   error::kFileNotFound}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::test
