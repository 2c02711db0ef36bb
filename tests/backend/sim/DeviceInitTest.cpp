#include "backend/shared/DeviceError.h"
#include "platform/RegistryKey.h"
#include "backend/sim/DeviceConfig.h"
#include "backend/sim/DeviceInit.h"
#include "backend/sim/SampleBitmap.h"
#include "backend/sim/SimPlatform.h"
#include "support/ProgramRun.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <set>

namespace velkor::sim {
namespace {

namespace fs = std::filesystem;
using velkor::test::ReadHostFile;

class DeviceInitTest : public ::testing::Test {
protected:
    fs::path Dir() const { return fs::path(temporary_.path().toStdString()) / "device"; }
    std::string Read(const fs::path& relative) const { return ReadHostFile(Dir() / relative); }

private:
    QTemporaryDir temporary_;
};

struct ExpectedProfile {
    std::u16string key;
    std::u16string name;
    std::u16string folder;
};

TEST_F(DeviceInitTest, MakesADeviceThatOpensWithTheOptionsAndStorageProfiles) {
    InitDevice(Dir(), DeviceOptions{false, {1024, 600}, 0x0804});
    SimPlatform device(Dir());
    platform::Registry& registry = device.platform().registry;
    const platform::RegistryKey profiles(registry, u"System\\StorageManager\\Profiles");
    const std::array<ExpectedProfile, 3> expected{{
        {u"SDMemory", u"SD Memory Card", u"StorageCard"},
        {u"NandFLASH", u"NAND Flash", u"NandFlash"},
        {u"BinFLASH", u"Bin Flash", u"VKRFlash"},
    }};

    EXPECT_EQ(device.platform().system.GetScreenSize().width, 1024);
    EXPECT_EQ(device.platform().system.GetScreenSize().height, 600);
    EXPECT_EQ(device.platform().system.GetDefaultLanguageId(), 0x0804);
    for (std::uint32_t index = 0; index < expected.size(); ++index) {
        ASSERT_EQ(profiles.SubkeyName(index, 260), expected[index].key);
        const platform::RegistryKey profile(registry, u"System\\StorageManager\\Profiles\\" + expected[index].key);
        EXPECT_EQ(profile.StringValue(u"Name", 520), expected[index].name);
        EXPECT_EQ(profile.StringValue(u"Folder", 520), expected[index].folder);
    }
    EXPECT_FALSE(profiles.SubkeyName(3, 260));
}

TEST_F(DeviceInitTest, WritesTwoProgramsEachWithOneVisibleUnownedWindowThatIgnoresCommands) {
    InitDevice(Dir(), DeviceOptions{});
    const std::vector<ProgramConfig> programs = ParseDeviceConfig(Read("device.json"), "device.json").programs;
    const std::array<std::pair<std::uint32_t, std::u16string>, 2> expected{{
        {101, u"\\Windows\\Tirnow.exe"},
        {102, u"\\Windows\\Pavlor.exe"},
    }};

    ASSERT_EQ(programs.size(), expected.size());
    for (std::size_t index = 0; index < expected.size(); ++index) {
        const ProgramConfig& program = programs[index];
        EXPECT_EQ(program.processId, expected[index].first);
        EXPECT_EQ(program.executable, expected[index].second);
        EXPECT_EQ(program.onCommand, CommandEffect::Ignore);
        ASSERT_EQ(program.windows.size(), 1U);
        EXPECT_TRUE(program.windows[0].visible);
        EXPECT_FALSE(program.windows[0].owned);
    }
}

TEST_F(DeviceInitTest, WritesAStoreForEachFlashProfileWithAFat12Volume) {
    InitDevice(Dir(), DeviceOptions{});
    const DeviceConfig config = ParseDeviceConfig(Read("device.json"), "device.json");
    // Two FATs of 12 sectors hold the 3985 clusters of 4 sectors they leave, and FAT12 addresses them.
    const shared::FatParameters fat{512, 4, 1, 2, 512, 16000, 0xF8, 12, 32, 2, 0};

    EXPECT_EQ(config.stores, (std::vector<StoreConfig>{
                                 {u"DSK1:", u"NandFLASH", {{u"Part00", u"\\NandFlash", u"NandFlash", fat}}},
                                 {u"DSK2:", u"BinFLASH", {{u"Part00", u"\\VKRFlash", u"VKRFlash", fat}}},
                             }));
    EXPECT_EQ(NewFlashVolume(), fat);
}

class SampleFolderTest : public DeviceInitTest, public ::testing::WithParamInterface<bool> {};

TEST_P(SampleFolderTest, PutsTheSamplesIntoImagesOrAutoUpdate) {
    const bool autoUpdate = GetParam();
    InitDevice(Dir(), DeviceOptions{autoUpdate, {800, 480}, 0x0409});
    const fs::path card = Dir() / "root/StorageCard";
    const fs::path images = card / (autoUpdate ? "AutoUpdate" : "Images");
    const std::map<std::string, std::uintmax_t> sizes{
        {"NK.bin", 256 * 1024}, {"Eboot.nb0", 64 * 1024}, {"NAPP.bin", 128 * 1024}};

    EXPECT_FALSE(fs::exists(card / (autoUpdate ? "Images" : "AutoUpdate")));
    for (const auto& [name, size] : sizes) {
        EXPECT_EQ(fs::file_size(images / name), size) << name;
    }
    EXPECT_TRUE(fs::is_regular_file(images / "Logo1.bmp"));
    EXPECT_TRUE(fs::is_regular_file(images / "logo2.bmp"));
    EXPECT_FALSE(Read("root/NandFlash/$MSD$/startup.log").empty());
    EXPECT_FALSE(Read("root/VKRFlash/$MSD$/startup.log").empty());
}

INSTANTIATE_TEST_SUITE_P(Folders, SampleFolderTest, ::testing::Bool());

TEST_F(DeviceInitTest, SampleImagesAreTheSameOnEveryRunAndLookRandom) {
    QTemporaryDir other;
    InitDevice(Dir(), DeviceOptions{});
    InitDevice(other.path().toStdString(), DeviceOptions{});
    const std::string image = Read("root/StorageCard/Images/NK.bin");

    EXPECT_EQ(image, ReadHostFile(fs::path(other.path().toStdString()) / "root/StorageCard/Images/NK.bin"));
    EXPECT_EQ(std::set<char>(image.begin(), image.end()).size(), 256U);
    EXPECT_NE(Read("root/StorageCard/Images/NAPP.bin").substr(0, 64), image.substr(0, 64));
}

std::uint32_t LittleEndian(const std::string& bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(bytes.at(at + static_cast<std::size_t>(i)));
    }
    return value;
}

struct PixelCounts {
    int black = 0;
    int nearBlack = 0;
    int colour = 0;
};

PixelCounts CountPixels(const std::string& bitmap, int width, int height, std::size_t rowBytes) {
    PixelCounts counts;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t at = 54 + static_cast<std::size_t>(y) * rowBytes + static_cast<std::size_t>(x) * 3;
            const Rgb pixel{static_cast<std::uint8_t>(bitmap.at(at + 2)), static_cast<std::uint8_t>(bitmap.at(at + 1)),
                            static_cast<std::uint8_t>(bitmap.at(at))};
            (pixel == kBlack ? counts.black : pixel == kNearBlack ? counts.nearBlack : counts.colour)++;
        }
    }
    return counts;
}

class SampleLogoTest : public DeviceInitTest, public ::testing::WithParamInterface<platform::ScreenSize> {};

TEST_P(SampleLogoTest, LogosAreUncompressed24BitBitmapsOfTheScreenSize) {
    const auto [width, height] = GetParam();
    InitDevice(Dir(), DeviceOptions{false, {width, height}, 0x0409});
    const std::size_t rowBytes = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;

    for (const char* name : {"Logo1.bmp", "logo2.bmp"}) {
        SCOPED_TRACE(name);
        const std::string bitmap = Read(fs::path("root/StorageCard/Images") / name);
        ASSERT_EQ(bitmap.size(), 54 + rowBytes * static_cast<std::size_t>(height));
        EXPECT_EQ(bitmap.substr(0, 2), "BM");
        EXPECT_EQ(LittleEndian(bitmap, 2, 4), bitmap.size());
        EXPECT_EQ(LittleEndian(bitmap, 10, 4), 54U) << "pixel data offset";
        EXPECT_EQ(LittleEndian(bitmap, 14, 4), 40U) << "info header size";
        EXPECT_EQ(LittleEndian(bitmap, 18, 4), static_cast<std::uint32_t>(width));
        EXPECT_EQ(LittleEndian(bitmap, 22, 4), static_cast<std::uint32_t>(height));
        EXPECT_EQ(LittleEndian(bitmap, 26, 2), 1U) << "planes";
        EXPECT_EQ(LittleEndian(bitmap, 28, 2), 24U) << "bits per pixel";
        EXPECT_EQ(LittleEndian(bitmap, 30, 4), 0U) << "compression";
        EXPECT_EQ(LittleEndian(bitmap, 34, 4), rowBytes * static_cast<std::size_t>(height)) << "image size";
        const PixelCounts counts = CountPixels(bitmap, width, height, rowBytes);
        EXPECT_GT(counts.black, 0);
        EXPECT_GT(counts.nearBlack, 0);
        EXPECT_GT(counts.colour, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, SampleLogoTest,
                         ::testing::Values(platform::ScreenSize{800, 480}, platform::ScreenSize{3, 2},
                                           platform::ScreenSize{1023, 7}));

struct RegionSizesCase {
    const char* name;
    platform::ScreenSize screen;
    std::uint64_t logoBytes;
};

class RegionSizesTest : public DeviceInitTest, public ::testing::WithParamInterface<RegionSizesCase> {};

TEST_P(RegionSizesTest, WritesTheRegionSizesWithALogoRegionThatHoldsTheLogos) {
    InitDevice(Dir(), DeviceOptions{false, GetParam().screen, 0x0409});
    const FlashRegionSizes sizes = ParseDeviceConfig(Read("device.json"), "device.json").flashRegions;

    EXPECT_EQ(sizes[shared::FlashRegion::Boot], 1 * shared::kMebibyte);
    EXPECT_EQ(sizes[shared::FlashRegion::Logo], GetParam().logoBytes);
    EXPECT_EQ(sizes[shared::FlashRegion::Os], 64 * shared::kMebibyte);
    EXPECT_EQ(sizes[shared::FlashRegion::App], 64 * shared::kMebibyte);
    EXPECT_GE(sizes[shared::FlashRegion::Logo], fs::file_size(Dir() / "root/StorageCard/Images/Logo1.bmp"));
}

// 8192 x 683 makes logos just larger than the default logo region.
INSTANTIATE_TEST_SUITE_P(Screens, RegionSizesTest,
                         ::testing::Values(RegionSizesCase{"Default", {800, 480}, 16 * shared::kMebibyte},
                                           RegionSizesCase{"LogoBeyondTheDefault", {8192, 683}, 17 * shared::kMebibyte}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceInitTest, RefusesADirectoryThatIsNotEmptyAndChangesNothing) {
    velkor::test::WriteHostFile(Dir() / "notes.txt", "mine");

    EXPECT_THROW(InitDevice(Dir(), DeviceOptions{}), shared::DeviceError);
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir()), fs::directory_iterator()), 1);
    EXPECT_EQ(Read("notes.txt"), "mine");
}

TEST_F(DeviceInitTest, RefusesAFile) {
    velkor::test::WriteHostFile(Dir(), "mine");

    EXPECT_THROW(InitDevice(Dir(), DeviceOptions{}), shared::DeviceError);
    EXPECT_EQ(ReadHostFile(Dir()), "mine");
}

class ScreenRangeTest : public DeviceInitTest, public ::testing::WithParamInterface<platform::ScreenSize> {};

TEST_P(ScreenRangeTest, RefusesScreensOutOfRangeBeforeMakingAnything) {
    EXPECT_THROW(InitDevice(Dir(), DeviceOptions{false, GetParam(), 0x0409}), shared::DeviceError);
    EXPECT_FALSE(fs::exists(Dir()));
}

INSTANTIATE_TEST_SUITE_P(Screens, ScreenRangeTest,
                         ::testing::Values(platform::ScreenSize{0, 480}, platform::ScreenSize{800, 0},
                                           platform::ScreenSize{8193, 480}, platform::ScreenSize{800, 8193},
                                           platform::ScreenSize{-1, 480}));

}  // namespace
}  // namespace velkor::sim
