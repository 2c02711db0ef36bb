#include "platform/DeviceText.h"
#include "platform/DiskControlCodes.h"
#include "platform/ErrorCodes.h"
#include "platform/FlashControlCodes.h"
#include "backend/sim/StorageDevice.h"

#include <gtest/gtest.h>

#include <array>

namespace velkor::sim {
namespace {

namespace error = platform::error;
using test::StorageDevice;
using test::TempDevice;

// Every item a search reports, first to last, as "<name> <detail>".
template <typename Search, typename Info, typename Describe>
std::vector<std::u16string> Everything(std::unique_ptr<Search> search, Info& first, Describe describe) {
    std::vector<std::u16string> found;
    for (bool more = search != nullptr; more; more = search->FindNext(first)) {
        found.push_back(describe(first));
    }
    return found;
}

TEST(StorageManagerTest, ListsTheStoresAndTheirPartitionsInOrder) {
    StorageDevice device;
    platform::StorageManager& manager = device.Platform().storageManager;
    platform::StoreInfo store;
    platform::PartitionInfo partition;

    EXPECT_EQ(Everything(manager.FindFirstStore(store), store,
                         [](const platform::StoreInfo& info) { return info.deviceName + u" " + info.profile; }),
              (std::vector<std::u16string>{u"DSK1: NandFLASH", u"DSK2: BinFLASH"}));
    EXPECT_EQ(device.LastError(), error::kNoMoreItems);
    const std::unique_ptr<platform::Store> opened = manager.OpenStore(u"dsk2:");
    ASSERT_TRUE(opened);
    EXPECT_EQ(
        Everything(opened->FindFirstPartition(partition), partition,
                   [](const platform::PartitionInfo& info) { return info.partitionName + u" " + info.volumeName; }),
        (std::vector<std::u16string>{u"Part00 \\VKRFlash", u"Part01 \\Big"}));
    EXPECT_EQ(device.LastError(), error::kNoMoreItems);
}

TEST(StorageManagerTest, ADeviceWithoutStoresHasNone) {
    TempDevice temp;
    SimPlatform device(temp.Dir());
    platform::StoreInfo store;

    EXPECT_FALSE(device.platform().storageManager.FindFirstStore(store));
    EXPECT_EQ(device.platform().system.GetLastError(), error::kNoMoreItems);
    EXPECT_FALSE(device.platform().storageManager.OpenStore(u"DSK1:"));
    EXPECT_EQ(device.platform().system.GetLastError(), error::kFileNotFound);
}

struct OpenCase {
    const char* name;
    const char* faults;
    std::u16string_view deviceName;
    std::u16string_view partition;
    std::uint32_t error;  // kSuccess: the partition opens
};

class PartitionOpenTest : public ::testing::TestWithParam<OpenCase> {};

TEST_P(PartitionOpenTest, OpensByNameIgnoringCaseUnlessSwitchedOff) {
    const OpenCase& c = GetParam();
    StorageDevice device(c.faults);
    device.SetLastError();

    EXPECT_EQ(device.OpenPartition(c.deviceName, c.partition).partition != nullptr, c.error == error::kSuccess);
    if (c.error != error::kSuccess) {
        EXPECT_EQ(device.LastError(), c.error);
    }
}

constexpr const char* kDsk2DoesNotOpen = R"({"storeOpenFails": ["dsk2:"]})";

INSTANTIATE_TEST_SUITE_P(
    Names, PartitionOpenTest,
    ::testing::Values(OpenCase{"IgnoringCase", "{}", u"dsk2:", u"PART01", error::kSuccess},
                      OpenCase{"UnknownStore", "{}", u"DSK9:", u"Part00", error::kFileNotFound},
                      OpenCase{"PartitionOfAnotherStore", "{}", u"DSK1:", u"Part01", error::kFileNotFound},
                      OpenCase{"StoreOpenFails", kDsk2DoesNotOpen, u"DSK2:", u"Part00", error::kAccessDenied},
                      OpenCase{"OtherStoreStillOpens", kDsk2DoesNotOpen, u"DSK1:", u"Part00", error::kSuccess},
                      OpenCase{"PartitionOpenFails", R"({"partitionOpenFails": ["DSK2:"]})", u"DSK2:", u"Part00",
                               error::kAccessDenied}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StorageManagerTest, PartitionSearchFailsOnlyForTheStoresSwitchedOff) {
    StorageDevice device(R"({"partitionSearchFails": ["DSK2:"]})");
    platform::PartitionInfo partition;
    const std::unique_ptr<platform::Store> binFlash = device.Platform().storageManager.OpenStore(u"DSK2:");
    const std::unique_ptr<platform::Store> nandFlash = device.Platform().storageManager.OpenStore(u"DSK1:");

    EXPECT_FALSE(binFlash->FindFirstPartition(partition));
    EXPECT_EQ(device.LastError(), error::kAccessDenied);
    EXPECT_TRUE(binFlash->OpenPartition(u"Part00")) << "the partitions are still there";
    ASSERT_TRUE(nandFlash->FindFirstPartition(partition));
    EXPECT_EQ(partition.partitionName, u"Part00");
}

struct DiskInfoCase {
    const char* name;
    const char* faults;
    std::uint32_t code;
    std::uint32_t outputSize;  // of a 32-byte buffer; 0: no buffer
    std::uint32_t error;       // kSuccess: answered with the record
};

class DiskInfoTest : public ::testing::TestWithParam<DiskInfoCase> {};

TEST_P(DiskInfoTest, FillsTheRecordIntoABufferLargeEnough) {
    const DiskInfoCase& c = GetParam();
    StorageDevice device(c.faults);
    const auto opened = device.OpenPartition(u"DSK2:", u"Part00");
    std::array<std::uint8_t, 32> buffer;
    buffer.fill(0xAA);
    std::uint32_t bytesReturned = 99;
    void* output = c.outputSize != 0 ? buffer.data() : nullptr;
    // Six words: 16000 sectors of 512 bytes, 250 cylinders, 2 heads, 32 sectors a track, no flags.
    const std::array<std::uint8_t, 24> record{0x80, 0x3E, 0, 0, 0x00, 0x02, 0, 0, 0xFA, 0, 0, 0,
                                              0x02, 0,    0, 0, 0x20, 0,    0, 0, 0,    0, 0, 0};

    const bool done = c.error == error::kSuccess;
    EXPECT_EQ(opened.partition->Control(c.code, output, c.outputSize, output, c.outputSize, &bytesReturned),
              done ? 1 : 0);
    EXPECT_EQ(bytesReturned, done ? record.size() : 0U);
    std::array<std::uint8_t, 32> expected;
    expected.fill(0xAA);
    if (done) {
        std::copy(record.begin(), record.end(), expected.begin());
    } else {
        EXPECT_EQ(device.LastError(), c.error);
    }
    EXPECT_EQ(buffer, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, DiskInfoTest,
    ::testing::Values(DiskInfoCase{"ExactBuffer", "{}", platform::DISK_IOCTL_GETINFO, 24, error::kSuccess},
                      DiskInfoCase{"LargerBuffer", "{}", platform::DISK_IOCTL_GETINFO, 32, error::kSuccess},
                      DiskInfoCase{"SmallerBuffer", "{}", platform::DISK_IOCTL_GETINFO, 23, error::kInsufficientBuffer},
                      DiskInfoCase{"NoBuffer", "{}", platform::DISK_IOCTL_GETINFO, 0, error::kInvalidParameter},
                      DiskInfoCase{"VolumeCode", "{}", platform::IOCTL_DISK_GET_VOLUME_PARAMETERS, 32,
                                   error::kNotSupported},
                      DiskInfoCase{"DiskInfoFails", R"({"diskInfoFails": true})", platform::DISK_IOCTL_GETINFO, 24,
                                   error::kAccessDenied}),
    [](const auto& info) { return std::string(info.param.name); });

class DismountTest : public ::testing::Test {
protected:
    DismountTest() {
        device_.Temp().Write("root/VKRFlash/$MSD$/startup.log", "started");
        device_.Temp().Write("root/NandFlash/nand.txt", "nand");
        std::filesystem::create_directory(device_.Temp().Root() / "StorageCard");
        std::filesystem::create_directory_symlink("../VKRFlash", device_.Temp().Root() / "StorageCard/Flash");
    }

    // Whether each path into the volume is there, and 3 when one is not.
    void ExpectVolume(bool there) {
        for (const std::u16string_view path :
             {u"\\VKRFlash", u"\\vkrflash\\$MSD$\\STARTUP.log", u"\\StorageCard\\Flash\\$MSD$\\startup.log"}) {
            SCOPED_TRACE(platform::ToUtf8(path));
            device_.SetLastError();
            EXPECT_EQ(device_.Platform().fileSystem.GetAttributes(path) != platform::kInvalidFileAttributes, there);
            EXPECT_EQ(device_.Platform().fileSystem.OpenFile(path, platform::FileMode::Read) != nullptr,
                      there && path != u"\\VKRFlash");
            if (!there) {
                EXPECT_EQ(device_.LastError(), error::kPathNotFound);
            }
        }
        EXPECT_EQ(device_.Platform().fileSystem.CreateDirectory(u"\\VKRFlash\\New"), there);
        EXPECT_NE(device_.Platform().fileSystem.GetAttributes(u"\\NandFlash\\nand.txt"),
                  platform::kInvalidFileAttributes)
            << "the other volume stays";
    }

    StorageDevice device_;
};

TEST_F(DismountTest, TheVolumeLeavesTheFileSystemUntilMountedAgain) {
    const auto opened = device_.OpenPartition(u"DSK2:", u"Part00");

    ASSERT_TRUE(opened.partition->Dismount());
    ExpectVolume(false);
    EXPECT_TRUE(opened.partition->Dismount()) << "dismounting again changes nothing";
    ExpectVolume(false);
    ASSERT_TRUE(opened.partition->Mount());
    ExpectVolume(true);
    EXPECT_TRUE(opened.partition->Mount()) << "mounting again changes nothing";
}

TEST_F(DismountTest, TheStateBelongsToThePartitionNotToTheHandle) {
    ASSERT_TRUE(device_.OpenPartition(u"DSK2:", u"Part00").partition->Dismount());
    ExpectVolume(false);
    ASSERT_TRUE(device_.OpenPartition(u"dsk2:", u"part00").partition->Mount());
    ExpectVolume(true);
}

TEST(StorageManagerTest, AFailingDismountLeavesTheVolumeMounted) {
    StorageDevice device(R"({"dismountFails": true})");
    device.Temp().Write("root/VKRFlash/x.txt", "x");
    const auto opened = device.OpenPartition(u"DSK2:", u"Part00");

    EXPECT_FALSE(opened.partition->Dismount());
    EXPECT_EQ(device.LastError(), error::kSharingViolation);
    EXPECT_NE(device.Platform().fileSystem.GetAttributes(u"\\VKRFlash\\x.txt"), platform::kInvalidFileAttributes);
    EXPECT_TRUE(opened.partition->Mount());
    EXPECT_EQ(device.Events(),
              (std::vector<std::string>{"dismount DSK2: Part00 -> 0 error 32", "mount DSK2: Part00 -> 1"}));
}

TEST_F(DismountTest, AFormattedVolumeGetsItsStoreFolderBackWhenMounted) {
    const auto opened = device_.OpenPartition(u"DSK2:", u"Part00");
    platform::DiskInfo disk{};
    opened.partition->Control(platform::DISK_IOCTL_GETINFO, disk.data(), 24, disk.data(), 24, nullptr);
    ASSERT_TRUE(opened.partition->Dismount());
    ASSERT_EQ(device_.Platform().formatLibrary.LoadLibrary(u"FATUTIL.dll")->FindFormatVolume(u"FormatVolume")(
                  *opened.partition, disk, {2048, 512, 12, 2, 3}),
              0U);
    EXPECT_TRUE(std::filesystem::is_empty(device_.Temp().Root() / "VKRFlash"));

    ASSERT_TRUE(opened.partition->Mount());
    EXPECT_EQ(device_.Platform().fileSystem.GetAttributes(u"\\VKRFlash\\$MSD$"), platform::kFileAttributeDirectory);
    EXPECT_TRUE(std::filesystem::is_empty(device_.Temp().Root() / "VKRFlash/$MSD$"));
}

TEST_F(DismountTest, MountingChangesNothingWhenTheVolumeHasItsStoreFolderOrIsMounted) {
    const auto opened = device_.OpenPartition(u"DSK2:", u"Part00");
    std::filesystem::rename(device_.Temp().Root() / "VKRFlash/$MSD$", device_.Temp().Root() / "VKRFlash/$msd$");
    ASSERT_TRUE(opened.partition->Dismount());
    ASSERT_TRUE(opened.partition->Mount());
    std::filesystem::remove_all(device_.Temp().Root() / "VKRFlash/$msd$");
    ASSERT_TRUE(opened.partition->Mount());

    EXPECT_TRUE(std::filesystem::is_empty(device_.Temp().Root() / "VKRFlash"))
        << "no second store folder in another case, and none made by a mount of a mounted volume";
}

TEST(StorageManagerTest, EachRequestDismountMountAndFormatIsOneEventLine) {
    StorageDevice device;
    const auto formatVolume =
        device.Platform().formatLibrary.LoadLibrary(u"FATUTIL.dll")->FindFormatVolume(u"FormatVolume");
    const auto opened = device.OpenPartition(u"dsk2:", u"part00");
    platform::DiskInfo disk{};
    opened.partition->Control(platform::DISK_IOCTL_GETINFO, disk.data(), 24, disk.data(), 24, nullptr);
    opened.partition->Control(platform::DISK_IOCTL_GETINFO, disk.data(), 23, disk.data(), 23, nullptr);
    opened.partition->Dismount();
    formatVolume(*opened.partition, disk, {2048, 512, 12, 2, 3});
    formatVolume(*opened.partition, disk, {3072, 512, 12, 2, 3});
    opened.partition->Mount();
    const std::unique_ptr<platform::DeviceHandle> volume = device.OpenDevice(u"\\vkrflash\\VOL:");
    std::array<std::uint8_t, platform::kVolumeParametersBytes> reply{};
    volume->Control(platform::IOCTL_DISK_GET_VOLUME_PARAMETERS, nullptr, 0, reply.data(), reply.size(), nullptr);
    volume->Control(platform::IOCTL_DISK_GET_FREE_SPACE, nullptr, 0, reply.data(), 15, nullptr);
    volume->Control(platform::IOCTL_FLASH_RESET, nullptr, 0, nullptr, 0, nullptr);

    EXPECT_EQ(device.Events(), (std::vector<std::string>{
                                   "device-control DSK2: Part00 0x00000001 buffer 24 -> 1",
                                   "device-control DSK2: Part00 0x00000001 buffer 23 -> 0 error 122",
                                   "dismount DSK2: Part00 -> 1",
                                   "format DSK2: Part00 2048 512 12 2 3 -> 0",
                                   "format DSK2: Part00 3072 512 12 2 3 -> 87",
                                   "mount DSK2: Part00 -> 1",
                                   R"(device-control \vkrflash\VOL: 0x00070204 null 0 -> 1)",
                                   R"(device-control \vkrflash\VOL: 0x00070208 null 0 -> 0 error 122)",
                                   R"(device-control \vkrflash\VOL: 0x800020E0 null 0 -> 1)",
                               }));
}

}  // namespace
}  // namespace velkor::sim
