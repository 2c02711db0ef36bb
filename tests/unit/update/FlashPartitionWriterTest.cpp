#include "update/CFlashPartitionWriter.h"

#include "platform/FlashControlCodes.h"
#include "backend/sim/SimPlatform.h"
#include "support/LogTexts.h"
#include "backend/sim/TempDevice.h"

#include <fmt/format.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velkor::update {
namespace {

using test::LogTexts;

constexpr std::u16string_view kImage = u"\\StorageCard\\NK.bin";

std::string BinFlashFolder(const std::string& folder) {
    return fmt::format("[HKEY_LOCAL_MACHINE\\System\\StorageManager\\Profiles\\BinFLASH]\n\"Folder\"=\"{}\"\n", folder);
}

std::string Request(const std::string& device, const char* code, const char* input, const char* answer) {
    return fmt::format("device-control {} {} {} 0 -> {}", device, code, input, answer);
}

const std::string kLongest(129, 'F');  // with its terminator exactly the 260 bytes the writer reads
const std::string kTooLong(130, 'F');
constexpr const char* kImageInput = "\"\\StorageCard\\NK.bin\"";
constexpr const char* kFallback = "\\pelmarflash\\Vol:";

struct WriterCase {
    const char* name;
    std::string registry;
    std::string faults;
    std::uint32_t code;
    bool withImage;
    int result;
    std::vector<std::string> debugLines;
    std::vector<std::string> events;
};

class WritePartitionTest : public testing::TestWithParam<WriterCase> {};

TEST_P(WritePartitionTest, OpensTheFlashVolumeAndPassesTheDriversAnswerOn) {
    const WriterCase& c = GetParam();
    const sim::test::TempDevice device(c.registry, c.faults);
    device.Write("root/StorageCard/NK.bin", "image");
    sim::SimPlatform sim(device.Dir());
    const std::u16string image(kImage);

    EXPECT_EQ(CFlashPartitionWriter(sim.platform()).WritePartition(c.code, c.withImage ? image.c_str() : nullptr),
              c.result);

    EXPECT_EQ(LogTexts(device.Read("debug.log")), c.debugLines);
    EXPECT_EQ(LogTexts(device.Read("events.log")), c.events);
    if (!c.events.empty()) {
        EXPECT_TRUE(sim.platform().deviceIo.OpenDevice(u"\\pelmarflash\\Vol:", platform::kGenericRead, 0))
            << "the writer closes the volume again";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, WritePartitionTest,
    testing::Values(
        WriterCase{"KeyAbsent", "", "{}", platform::IOCTL_FLASH_WRITE_OS, true, 1, {"CreateFile fail =2"},
                   {Request(kFallback, "0x800020DC", kImageInput, "1")}},
        WriterCase{"FolderWithoutDevice", BinFlashFolder("VKRFlash"), R"({"flashDeviceAbsent": "primary"})",
                   platform::IOCTL_FLASH_WRITE_BOOT, true, 1, {"CreateFile fail =2"},
                   {Request(kFallback, "0x800020D4", kImageInput, "1")}},
        WriterCase{"NeitherDevice", BinFlashFolder("VKRFlash"), R"({"flashDeviceAbsent": "both"})",
                   platform::IOCTL_FLASH_WRITE_OS, true, 0, {"CreateFile fail =2", "CreateFile fail =2"}, {}},
        WriterCase{"ResetWithoutInput", BinFlashFolder("VKRFlash"), "{}", platform::IOCTL_FLASH_RESET, false, 1, {},
                   {Request("\\VKRFlash\\Vol:", "0x800020E0", "null", "1")}},
        WriterCase{"DriverRefuses", BinFlashFolder("VKRFlash"), R"({"flashRefusedCodes": ["0x800020E8"]})",
                   platform::IOCTL_FLASH_WRITE_APP, true, 0, {"Deviceiocontrol error =32"},
                   {Request("\\VKRFlash\\Vol:", "0x800020E8", kImageInput, "0 error 50")}},
        WriterCase{"LongestFolder", BinFlashFolder(kLongest), "{}", platform::IOCTL_FLASH_WRITE_LOGO, true, 1, {},
                   {Request("\\" + kLongest + "\\Vol:", "0x800020D8", kImageInput, "1")}},
        WriterCase{"FolderTooLong", BinFlashFolder(kTooLong), "{}", platform::IOCTL_FLASH_WRITE_LOGO, true, 1,
                   {"CreateFile fail =ea"}, {Request(kFallback, "0x800020D8", kImageInput, "1")}}),
    [](const testing::TestParamInfo<WriterCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::update
