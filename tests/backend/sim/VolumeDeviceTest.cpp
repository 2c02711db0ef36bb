#include "platform/DiskControlCodes.h"
#include "platform/ErrorCodes.h"
#include "platform/FlashControlCodes.h"
#include "backend/sim/DeviceOpenCase.h"
#include "backend/sim/StorageDevice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace velkor::sim {
namespace {

namespace error = platform::error;
namespace fs = std::filesystem;
using platform::IOCTL_DISK_GET_FREE_SPACE;
using platform::IOCTL_DISK_GET_VOLUME_PARAMETERS;
using test::FatWith;
using test::kFat12;
using test::StorageDevice;

constexpr std::u16string_view kBig = u"\\Big\\Vol:";
constexpr std::u16string_view kVkrFlash = u"\\VKRFlash\\Vol:";

using OpenCase = test::DeviceOpenCase;

class VolumeOpenTest : public ::testing::TestWithParam<OpenCase> {};

TEST_P(VolumeOpenTest, OpensEachVolumeOnceUnlessAbsent) {
    const OpenCase& c = GetParam();
    StorageDevice device(c.faults);
    std::vector<std::unique_ptr<platform::DeviceHandle>> held;
    for (const std::u16string_view name : c.held) {
        held.push_back(device.OpenDevice(name));
        ASSERT_TRUE(held.back());
    }
    device.SetLastError();

    EXPECT_EQ(device.OpenDevice(c.device) != nullptr, c.error == error::kSuccess);
    if (c.error != error::kSuccess) {
        EXPECT_EQ(device.LastError(), c.error);
    }
}

constexpr const char* kBigAbsent = R"({"volumeDeviceAbsent": ["\\big"]})";
constexpr const char* kVkrFlashAbsent = R"({"volumeDeviceAbsent": ["\\VKRFlash"]})";

INSTANTIATE_TEST_SUITE_P(
    Names, VolumeOpenTest,
    ::testing::Values(
        OpenCase{"IgnoringCase", "{}", {}, u"\\bIG\\vol:", error::kSuccess},
        OpenCase{"OfAnotherStore", "{}", {}, u"\\NandFlash\\Vol:", error::kSuccess},
        OpenCase{"FlashAndVolume", "{}", {}, kVkrFlash, error::kSuccess},
        OpenCase{"PartitionName", "{}", {}, u"\\Part01\\Vol:", error::kFileNotFound},
        OpenCase{"VolumeWithoutSuffix", "{}", {}, u"\\Big", error::kFileNotFound},
        OpenCase{"Taken", "{}", {kBig}, u"\\BIG\\Vol:", error::kSharingViolation},
        OpenCase{"OtherVolumeWhileOneIsTaken", "{}", {kBig}, u"\\NandFlash\\Vol:", error::kSuccess},
        OpenCase{"FlashTakenByItsOtherName", "{}", {u"\\pelmarflash\\Vol:"}, kVkrFlash, error::kSharingViolation},
        OpenCase{"VolumeTakenByTheSharedName", "{}", {kVkrFlash}, kVkrFlash, error::kSharingViolation},
        OpenCase{"Absent", kBigAbsent, {}, kBig, error::kFileNotFound},
        OpenCase{"OtherVolumeWhileOneIsAbsent", kBigAbsent, {}, u"\\NandFlash\\Vol:", error::kSuccess},
        OpenCase{"SharedNameWhenTheVolumeIsAbsent", kVkrFlashAbsent, {}, kVkrFlash, error::kFileNotFound},
        OpenCase{
            "FlashByItsOtherNameWhenTheVolumeIsAbsent", kVkrFlashAbsent, {}, u"\\pelmarflash\\Vol:", error::kSuccess},
        OpenCase{"SharedNameWhenTheFlashIsAbsent",
                 R"({"flashDeviceAbsent": "primary"})",
                 {},
                 kVkrFlash,
                 error::kFileNotFound}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VolumeDeviceTest, ClosingTheHandleFreesTheVolume) {
    StorageDevice device;

    ASSERT_TRUE(device.OpenDevice(kBig));
    EXPECT_TRUE(device.OpenDevice(kBig));
}

TEST(VolumeDeviceTest, TheFlashDriversNameReachesItsVolumeToo) {
    StorageDevice device;
    const std::unique_ptr<platform::DeviceHandle> handle = device.OpenDevice(kVkrFlash);
    std::vector<std::uint8_t> reply(platform::kVolumeParametersBytes);

    EXPECT_EQ(handle->Control(platform::IOCTL_FLASH_RESET, nullptr, 0, nullptr, 0, nullptr), 1);
    EXPECT_EQ(handle->Control(IOCTL_DISK_GET_VOLUME_PARAMETERS, nullptr, 0, reply.data(), reply.size(), nullptr), 1);
    EXPECT_EQ(reply[14], 0x02) << "512 bytes per sector";
}

// Hex digits, spaces ignored, as bytes.
std::vector<std::uint8_t> HexBytes(std::string_view hex) {
    std::string digits(hex);
    std::erase(digits, ' ');
    std::vector<std::uint8_t> bytes;
    for (std::size_t at = 0; at + 1 < digits.size(); at += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(at, 2), nullptr, 16)));
    }
    return bytes;
}

struct ParametersCase {
    const char* name;
    std::string fat;
    // The BIOS parameter block: bytes per sector, sectors per cluster, reserved sectors, FATs, root
    // entries, small total, media, sectors per FAT, sectors per track, heads, hidden sectors, large total.
    const char* block;
};

class VolumeParametersTest : public ::testing::TestWithParam<ParametersCase> {};

TEST_P(VolumeParametersTest, RepliesWithTheBiosParameterBlockAtByte13) {
    StorageDevice device("{}", GetParam().fat);
    const std::unique_ptr<platform::DeviceHandle> volume = device.OpenDevice(kBig);
    std::vector<std::uint8_t> reply(400, 0xAA);
    std::uint32_t bytesReturned = 0;
    std::vector<std::uint8_t> expected(platform::kVolumeParametersBytes, 0);
    const std::vector<std::uint8_t> block = HexBytes(GetParam().block);
    std::copy(block.begin(), block.end(), expected.begin() + 13);
    expected.resize(400, 0xAA);

    ASSERT_EQ(volume->Control(IOCTL_DISK_GET_VOLUME_PARAMETERS, nullptr, 0, reply.data(), 400, &bytesReturned), 1);
    EXPECT_EQ(bytesReturned, platform::kVolumeParametersBytes);
    EXPECT_EQ(reply, expected);
}

const std::string kOtherFat =
    FatWith(FatWith(FatWith(kFat12, "sectorsPerCluster", "8"), "rootEntries", "224"), "hiddenSectors", "305419896");

INSTANTIATE_TEST_SUITE_P(
    Volumes, VolumeParametersTest,
    ::testing::Values(ParametersCase{"SmallTotal", std::string(kFat12),
                                     "0002 04 0100 02 0002 803E F8 0C00 2000 0200 00000000 00000000"},
                      ParametersCase{"LargeTotal", FatWith(kOtherFat, "totalSectors", "70000"),
                                     "0002 08 0100 02 E000 0000 F8 0C00 2000 0200 78563412 70110100"},
                      ParametersCase{"LargestSmallTotal", FatWith(kFat12, "totalSectors", "65535"),
                                     "0002 04 0100 02 0002 FFFF F8 0C00 2000 0200 00000000 00000000"},
                      ParametersCase{"SmallestLargeTotal", FatWith(kFat12, "totalSectors", "65536"),
                                     "0002 04 0100 02 0002 0000 F8 0C00 2000 0200 00000000 00000100"}),
    [](const auto& info) { return std::string(info.param.name); });

struct FreeSpaceCase {
    const char* name;
    std::vector<std::pair<const char*, std::uintmax_t>> files;  // below root/VKRFlash, with their sizes
    std::vector<std::string> folders;                           // empty ones
    std::uint32_t freeClusters;
};

// "<parent>/0" to "<parent>/<count - 1>".
std::vector<std::string> NumberedFolders(const std::string& parent, int count) {
    std::vector<std::string> folders;
    for (int index = 0; index < count; ++index) {
        folders.push_back(parent + "/" + std::to_string(index));
    }
    return folders;
}

class FreeSpaceTest : public ::testing::TestWithParam<FreeSpaceCase> {};

// Clusters of 2048 bytes, 3985 of them.
TEST_P(FreeSpaceTest, CountsTheClustersOfTheFilesAndFolders) {
    const FreeSpaceCase& c = GetParam();
    StorageDevice device;
    const fs::path folder = device.Temp().Root() / "VKRFlash";
    fs::create_directories(folder);
    for (const auto& [name, size] : c.files) {
        device.Temp().Write(folder / name, "");
        fs::resize_file(folder / name, size);
    }
    for (const std::string& name : c.folders) {
        fs::create_directories(folder / name);
    }
    device.Temp().Write("root/StorageCard/big.bin", std::string(100000, 'x'));
    fs::create_symlink("../StorageCard/big.bin", folder / "link.bin");
    fs::create_directory_symlink("../StorageCard", folder / "card");
    const std::unique_ptr<platform::DeviceHandle> volume = device.OpenDevice(kVkrFlash);
    std::array<std::uint8_t, 16> reply{};
    std::uint32_t bytesReturned = 0;

    ASSERT_EQ(volume->Control(IOCTL_DISK_GET_FREE_SPACE, nullptr, 0, reply.data(), 16, &bytesReturned), 1);
    EXPECT_EQ(bytesReturned, 16U);
    const std::vector<std::uint8_t> words = HexBytes("04000000 00020000");
    EXPECT_TRUE(std::equal(words.begin(), words.end(), reply.begin())) << "sectors per cluster, bytes per sector";
    EXPECT_EQ(reply[8] | reply[9] << 8 | reply[10] << 16 | reply[11] << 24, c.freeClusters);
    EXPECT_EQ(reply[12] | reply[13] << 8 | reply[14] << 16 | reply[15] << 24, 3985);
}

INSTANTIATE_TEST_SUITE_P(
    Volumes, FreeSpaceTest,
    ::testing::Values(FreeSpaceCase{"OnlyLinks", {}, {}, 3985},
                      // Files of 0, 1, 2048, 2049 and 1 bytes take 0, 1, 1, 2 and 1 clusters; Sub (3 entries, "."
                      // and "..") and Empty take one each.
                      FreeSpaceCase{
                          "FilesAndFolders",
                          {{"empty.bin", 0}, {"a.bin", 1}, {"b.bin", 2048}, {"Sub/c.bin", 2049}, {"Sub/d.bin", 1}},
                          {"Sub/Empty"},
                          3985 - 7},
                      // 63 entries and "." and ".." fill one cluster of 2048 bytes; a 64th needs a second.
                      FreeSpaceCase{"AFolderOfManyEntries", {}, NumberedFolders("Many", 64), 3985 - 2 - 64},
                      FreeSpaceCase{"FullerThanTheVolume", {{"huge.bin", 3985ULL * 2048 + 1}}, {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct RequestCase {
    const char* name;
    const char* faults;
    std::uint32_t code;
    bool withInput;
    std::uint32_t outputSize;  // of a 400-byte buffer; 0: no buffer
    int answer;
    std::uint32_t bytesReturned;  // when answered; otherwise the error
};

class VolumeRequestTest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(VolumeRequestTest, RefusesWhatDoesNotFollowTheCodesConvention) {
    const RequestCase& c = GetParam();
    StorageDevice device(c.faults);
    const std::unique_ptr<platform::DeviceHandle> volume = device.OpenDevice(kBig);
    std::vector<std::uint8_t> buffer(400, 0xAA);
    std::uint32_t bytesReturned = 99;
    const char input[4] = {};

    EXPECT_EQ(volume->Control(c.code, c.withInput ? input : nullptr, c.withInput ? sizeof input : 0,
                              c.outputSize != 0 ? buffer.data() : nullptr, c.outputSize, &bytesReturned),
              c.answer);
    if (c.answer == 1) {
        EXPECT_EQ(bytesReturned, c.bytesReturned);
    } else {
        EXPECT_EQ(bytesReturned, 0U);
        EXPECT_EQ(device.LastError(), c.bytesReturned);
        EXPECT_EQ(buffer, std::vector<std::uint8_t>(400, 0xAA)) << "nothing written";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Requests, VolumeRequestTest,
    ::testing::Values(
        RequestCase{"ParametersIntoTooSmall", "{}", IOCTL_DISK_GET_VOLUME_PARAMETERS, false, 359, 0,
                    error::kInsufficientBuffer},
        RequestCase{"FreeSpaceIntoTooSmall", "{}", IOCTL_DISK_GET_FREE_SPACE, false, 15, 0, error::kInsufficientBuffer},
        RequestCase{"NoBuffer", "{}", IOCTL_DISK_GET_FREE_SPACE, false, 0, 0, error::kInvalidParameter},
        RequestCase{"WithInput", "{}", IOCTL_DISK_GET_VOLUME_PARAMETERS, true, 400, 0, error::kInvalidParameter},
        RequestCase{"DiskCode", "{}", platform::DISK_IOCTL_GETINFO, false, 400, 0, error::kNotSupported},
        RequestCase{"FlashCode", "{}", platform::IOCTL_FLASH_RESET, false, 0, 0, error::kNotSupported},
        RequestCase{"ParametersShort", R"({"volumeParametersShort": true})", IOCTL_DISK_GET_VOLUME_PARAMETERS, false,
                    400, 1, 359},
        RequestCase{"FreeSpaceShort", R"({"freeSpaceShort": true})", IOCTL_DISK_GET_FREE_SPACE, false, 400, 1, 15},
        RequestCase{"FreeSpaceWhole", R"({"volumeParametersShort": true})", IOCTL_DISK_GET_FREE_SPACE, false, 400, 1,
                    16}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor::sim
