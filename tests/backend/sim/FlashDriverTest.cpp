#include "platform/ErrorCodes.h"
#include "platform/FlashControlCodes.h"
#include "backend/sim/SimPlatform.h"
#include "support/LogTexts.h"
#include "support/RandomBytes.h"
#include "backend/sim/DeviceOpenCase.h"
#include "backend/sim/TempDevice.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <map>

namespace velkor::sim {
namespace {

namespace fs = std::filesystem;
namespace error = platform::error;
using platform::DeviceHandle;
using platform::IOCTL_FLASH_RESET;
using platform::IOCTL_FLASH_WRITE_APP;
using platform::IOCTL_FLASH_WRITE_BOOT;
using platform::IOCTL_FLASH_WRITE_LOGO;
using platform::IOCTL_FLASH_WRITE_OS;
using test::TempDevice;
using velkor::test::LogTexts;

constexpr std::u16string_view kPrimary = u"\\VKRFlash\\Vol:";
constexpr std::u16string_view kFallback = u"\\pelmarflash\\Vol:";

// Two and a half chunks, so that streaming crosses chunk boundaries and ends inside one.
const std::string kOsImage = velkor::test::RandomBytes(5 * 512 * 1024, 7);
const std::string kOldBoot = "old boot region!";  // fills the 16-byte boot region
const std::string kOldOs = "old os";

// A device whose BinFLASH profile names the folder VKRFlash, with a 16-byte boot region and a
// one-chunk logo region, images in \StorageCard\Images, and the boot and OS regions programmed before.
class FlashDevice {
public:
    explicit FlashDevice(std::string_view faults = "{}")
        : temp_("[HKEY_LOCAL_MACHINE\\System\\StorageManager\\Profiles\\BinFLASH]\n\"Folder\"=\"VKRFlash\"\n") {
        temp_.Write("device.json", fmt::format(R"({{"screen": {{"width": 800, "height": 480}}, "languageId": 1033,
                                                   "flashRegions": {{"boot": 16, "logo": 1048576}}, "faults": {}}})",
                                               faults));
        const std::map<std::string, std::string> files{{"root/StorageCard/Images/Eboot.nb0", "boot image"},
                                                       {"root/StorageCard/Images/Logo1.bmp", "logo"},
                                                       {"root/StorageCard/Images/NK.bin", kOsImage},
                                                       {"root/StorageCard/Images/NAPP.bin", "application"},
                                                       {"root/StorageCard/Images/short.bin", "short"},
                                                       {"flash/boot.bin", kOldBoot},
                                                       {"flash/os.bin", kOldOs}};
        for (const auto& [path, bytes] : files) {
            temp_.Write(path, bytes);
        }
        sim_.emplace(temp_.Dir());
    }

    std::unique_ptr<DeviceHandle> Open(std::u16string_view name) {
        return sim_->platform().deviceIo.OpenDevice(name, platform::kGenericRead | platform::kGenericWrite,
                                                    platform::kShareExclusive);
    }
    std::uint32_t LastError() { return sim_->platform().system.GetLastError(); }
    void SetLastError() { sim_->platform().fileSystem.GetAttributes(u"\\Nowhere\\x"); }
    const TempDevice& Temp() const { return temp_; }

    std::map<std::string, std::string> Regions() const {
        std::map<std::string, std::string> regions;
        for (const auto& entry : fs::directory_iterator(temp_.Dir() / "flash")) {
            regions[entry.path().filename().string()] = temp_.Read(entry.path());
        }
        return regions;
    }

private:
    TempDevice temp_;
    std::optional<SimPlatform> sim_;
};

using OpenCase = test::DeviceOpenCase;

class FlashOpenTest : public ::testing::TestWithParam<OpenCase> {};

TEST_P(FlashOpenTest, OpensOneHandleByEitherNameUnlessAbsent) {
    const OpenCase& c = GetParam();
    FlashDevice device(c.faults);
    std::vector<std::unique_ptr<DeviceHandle>> held;
    for (const std::u16string_view name : c.held) {
        held.push_back(device.Open(name));
        ASSERT_TRUE(held.back());
    }
    device.SetLastError();

    EXPECT_EQ(device.Open(c.device) != nullptr, c.error == error::kSuccess);
    EXPECT_EQ(device.LastError(), c.error == error::kSuccess ? error::kPathNotFound : c.error);
    EXPECT_FALSE(fs::exists(device.Temp().Dir() / "events.log")) << "opens are not logged";
}

INSTANTIATE_TEST_SUITE_P(
    Names, FlashOpenTest,
    ::testing::Values(
        OpenCase{"ProfileFolderIgnoringCase", "{}", {}, u"\\vkrFLASH\\vol:", error::kSuccess},
        OpenCase{"Fallback", "{}", {}, u"\\PelmarFlash\\VOL:", error::kSuccess},
        OpenCase{"OtherVolume", "{}", {}, u"\\X\\Vol:", error::kFileNotFound},
        OpenCase{"FolderWithoutVolume", "{}", {}, u"\\VKRFlash", error::kFileNotFound},
        OpenCase{"TakenByTheSameName", "{}", {kPrimary}, kPrimary, error::kSharingViolation},
        OpenCase{"TakenByTheOtherName", "{}", {kFallback}, kPrimary, error::kSharingViolation},
        OpenCase{"PrimaryAbsent", R"({"flashDeviceAbsent": "primary"})", {}, kPrimary, error::kFileNotFound},
        OpenCase{"PrimaryAbsentFallbackOpens", R"({"flashDeviceAbsent": "primary"})", {}, kFallback, error::kSuccess},
        OpenCase{"BothAbsent", R"({"flashDeviceAbsent": "both"})", {}, kFallback, error::kFileNotFound}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FlashDriverTest, ClosingTheHandleFreesTheDevice) {
    FlashDevice device;

    ASSERT_TRUE(device.Open(kPrimary));
    EXPECT_TRUE(device.Open(kFallback));
}

struct Request {
    std::uint32_t code;
    const char16_t* path;  // the input; null for none
    std::uint32_t inputSize;
    std::uint32_t error;  // kSuccess: carried out
};

Request Image(std::uint32_t code, const char16_t* path, std::uint32_t error = error::kSuccess) {
    return {code, path, 0, error};
}

struct ControlCase {
    const char* name;
    const char* faults;
    std::vector<Request> requests;               // sent in turn through one handle
    std::map<std::string, std::string> regions;  // DIR/flash afterwards
};

class FlashControlTest : public ::testing::TestWithParam<ControlCase> {};

TEST_P(FlashControlTest, ProgramsRegionsOrLeavesThemAlone) {
    const ControlCase& c = GetParam();
    FlashDevice device(c.faults);
    const std::unique_ptr<DeviceHandle> flash = device.Open(kPrimary);
    ASSERT_TRUE(flash);

    for (const Request& request : c.requests) {
        SCOPED_TRACE(fmt::format("0x{:08X}", request.code));
        const bool done = request.error == error::kSuccess;
        EXPECT_EQ(flash->Control(request.code, request.path, request.inputSize, nullptr, 0, nullptr), done ? 1 : 0);
        if (!done) {
            EXPECT_EQ(device.LastError(), request.error);
        }
    }
    EXPECT_EQ(device.Regions(), c.regions);
}

constexpr const char16_t* kBoot = u"\\StorageCard\\Images\\Eboot.nb0";
constexpr const char16_t* kOs = u"\\storagecard\\images\\nk.bin";
const std::map<std::string, std::string> kUntouched{{"boot.bin", kOldBoot}, {"os.bin", kOldOs}};
// No terminator within the 260 characters a path may have.
const std::u16string kEndlessPath(300, u'a');

INSTANTIATE_TEST_SUITE_P(
    Requests, FlashControlTest,
    ::testing::Values(
        ControlCase{
            "Boot", "{}", {Image(IOCTL_FLASH_WRITE_BOOT, kBoot)}, {{"boot.bin", "boot image"}, {"os.bin", kOldOs}}},
        ControlCase{"Logo",
                    "{}",
                    {Image(IOCTL_FLASH_WRITE_LOGO, u"\\StorageCard\\Images\\Logo1.bmp")},
                    {{"boot.bin", kOldBoot}, {"logo.bin", "logo"}, {"os.bin", kOldOs}}},
        ControlCase{
            "OsInChunks", "{}", {Image(IOCTL_FLASH_WRITE_OS, kOs)}, {{"boot.bin", kOldBoot}, {"os.bin", kOsImage}}},
        ControlCase{"App",
                    "{}",
                    {Image(IOCTL_FLASH_WRITE_APP, u"\\StorageCard\\Images\\NAPP.bin")},
                    {{"app.bin", "application"}, {"boot.bin", kOldBoot}, {"os.bin", kOldOs}}},
        ControlCase{
            "ShorterAfterLonger",
            "{}",
            {Image(IOCTL_FLASH_WRITE_OS, kOs), Image(IOCTL_FLASH_WRITE_OS, u"\\StorageCard\\Images\\short.bin")},
            {{"boot.bin", kOldBoot}, {"os.bin", "short"}}},
        ControlCase{"ResetWritesNothing", "{}", {{IOCTL_FLASH_RESET, nullptr, 0, error::kSuccess}}, kUntouched},
        ControlCase{"UnknownCode", "{}", {{0x800020E4, nullptr, 0, error::kNotSupported}}, kUntouched},
        ControlCase{
            "ImageWithoutPath", "{}", {{IOCTL_FLASH_WRITE_OS, nullptr, 0, error::kInvalidParameter}}, kUntouched},
        ControlCase{"ResetWithPath", "{}", {{IOCTL_FLASH_RESET, kOs, 0, error::kInvalidParameter}}, kUntouched},
        ControlCase{"PathWithoutEnd",
                    "{}",
                    {Image(IOCTL_FLASH_WRITE_OS, kEndlessPath.c_str(), error::kInvalidParameter)},
                    kUntouched},
        ControlCase{"DeclaredInputSize", "{}", {{IOCTL_FLASH_WRITE_OS, kOs, 56, error::kInvalidParameter}}, kUntouched},
        ControlCase{"MissingImage",
                    "{}",
                    {Image(IOCTL_FLASH_WRITE_OS, u"\\StorageCard\\Images\\none.bin", error::kFileNotFound)},
                    kUntouched},
        ControlCase{"ImageOutsideTheRoot",
                    "{}",
                    {Image(IOCTL_FLASH_WRITE_OS, u"\\..\\device.json", error::kInvalidName)},
                    kUntouched},
        ControlCase{"LargerThanTheRegion", "{}", {Image(IOCTL_FLASH_WRITE_LOGO, kOs, error::kDiskFull)}, kUntouched},
        ControlCase{"RefusedCode",
                    R"({"flashRefusedCodes": ["0x800020DC"]})",
                    {Image(IOCTL_FLASH_WRITE_OS, kOs, error::kNotSupported), Image(IOCTL_FLASH_WRITE_BOOT, kBoot)},
                    {{"boot.bin", "boot image"}, {"os.bin", kOldOs}}},
        ControlCase{"RegionTooSmall",
                    R"({"flashRegionTooSmall": ["os"]})",
                    {Image(IOCTL_FLASH_WRITE_OS, u"\\StorageCard\\Images\\short.bin", error::kDiskFull),
                     Image(IOCTL_FLASH_WRITE_BOOT, kBoot)},
                    {{"boot.bin", "boot image"}, {"os.bin", kOldOs}}},
        ControlCase{"ReadBackDiffers",
                    R"({"flashReadBackDiffers": true})",
                    {Image(IOCTL_FLASH_WRITE_OS, kOs, error::kCrc)},
                    {{"boot.bin", kOldBoot}, {"os.bin", kOsImage}}}),
    [](const auto& info) { return std::string(info.param.name); });

// DIR/flash or a region swapped for a link while the device runs: the request is refused with 5
// and nothing is written where the link leads.
TEST(FlashDriverTest, ARegionOrFolderLinkedOutsideIsRefused) {
    for (const char* linked : {"flash/os.bin", "flash"}) {
        SCOPED_TRACE(linked);
        FlashDevice device;
        const fs::path outside = device.Temp().Dir() / "outside";
        fs::create_directories(outside);
        fs::rename(device.Temp().Dir() / "flash/os.bin", outside / "os.bin");
        fs::remove_all(device.Temp().Dir() / linked);
        fs::create_symlink(std::string(linked) == "flash" ? outside : outside / "os.bin", device.Temp().Dir() / linked);
        const std::unique_ptr<DeviceHandle> flash = device.Open(kPrimary);
        ASSERT_TRUE(flash);
        EXPECT_EQ(flash->Control(IOCTL_FLASH_WRITE_OS, kOs, 0, nullptr, 0, nullptr), 0);
        EXPECT_EQ(device.LastError(), error::kAccessDenied);
        EXPECT_EQ(device.Temp().Read("outside/os.bin"), kOldOs);
    }
}

TEST(FlashDriverTest, EachRequestIsOneEventLine) {
    FlashDevice device;
    std::unique_ptr<DeviceHandle> flash = device.Open(u"\\vkrflash\\VOL:");
    std::uint32_t bytesReturned = 99;
    char output[4] = {};

    flash->Control(IOCTL_FLASH_WRITE_BOOT, kBoot, 0, output, sizeof output, &bytesReturned);
    flash->Control(IOCTL_FLASH_WRITE_APP, u"\\StorageCard\\a\nb", 0, nullptr, 0, nullptr);
    flash.reset();
    flash = device.Open(kFallback);
    ASSERT_TRUE(flash);
    flash->Control(IOCTL_FLASH_RESET, nullptr, 0, nullptr, 0, nullptr);
    flash->Control(0x800020E4, nullptr, 0, nullptr, 0, nullptr);
    flash->Control(IOCTL_FLASH_WRITE_OS, kOs, 4, nullptr, 0, nullptr);
    // No path is looked for in a reset's input: nothing past this one character is read.
    const char16_t unterminated = u'x';
    flash->Control(IOCTL_FLASH_RESET, &unterminated, 0, nullptr, 0, nullptr);

    EXPECT_EQ(bytesReturned, 0U);
    EXPECT_EQ(LogTexts(device.Temp().Read("events.log")),
              (std::vector<std::string>{
                  R"(device-control \vkrflash\VOL: 0x800020D4 "\StorageCard\Images\Eboot.nb0" 0 -> 1)",
                  R"(device-control \vkrflash\VOL: 0x800020E8 "\StorageCard\a\x0Ab" 0 -> 0 error 123)",
                  R"(device-control \pelmarflash\Vol: 0x800020E0 null 0 -> 1)",
                  R"(device-control \pelmarflash\Vol: 0x800020E4 null 0 -> 0 error 50)",
                  R"(device-control \pelmarflash\Vol: 0x800020DC "\s" 4 -> 0 error 87)",
                  R"(device-control \pelmarflash\Vol: 0x800020E0 buffer 0 -> 0 error 87)",
              }));
}

}  // namespace
}  // namespace velkor::sim
