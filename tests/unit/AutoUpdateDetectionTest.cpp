#include "mainwnd/AutoUpdateDetection.h"
#include "support/FakeFileSystem.h"

#include <gtest/gtest.h>

#include <vector>

namespace velkor::mainwnd {
namespace {

using update::UpdateSettings;

constexpr std::u16string_view kFolder = u"\\StorageCard\\AutoUpdate\\";

struct DetectCase {
    const char* name;
    std::vector<std::u16string> files;  // names in the folder
    bool found;
    UpdateSettings expected;
};

class AutoUpdateDetectionTest : public testing::TestWithParam<DetectCase> {};

TEST_P(AutoUpdateDetectionTest, MarksTheRowsOfTheImagesFound) {
    test::FakeFileSystem fileSystem;
    fileSystem.AddDirectory(kFolder);
    for (const auto& name : GetParam().files) {
        fileSystem.AddFile(std::u16string(kFolder) + name, "image");
    }
    UpdateSettings settings;
    EXPECT_EQ(DetectAutoUpdate(fileSystem, kFolder, settings), GetParam().found);
    EXPECT_EQ(settings, GetParam().expected);
}

UpdateSettings Only(std::int32_t UpdateSettings::*flag, std::u16string UpdateSettings::*path, std::u16string_view name) {
    UpdateSettings settings;
    settings.*flag = 1;
    settings.*path = std::u16string(kFolder) + std::u16string(name);
    return settings;
}

UpdateSettings BootAndReset() {
    UpdateSettings settings = Only(&UpdateSettings::bootEnabled, &UpdateSettings::bootPath, u"Eboot.nb0");
    settings.resetEnabled = 1;
    return settings;
}

UpdateSettings Everything() {
    UpdateSettings settings = BootAndReset();
    const std::u16string folder(kFolder);
    settings.osEnabled = settings.logoEnabled = settings.logo2Enabled = settings.appEnabled = 1;
    settings.osPath = folder + u"NK.bin";
    settings.logoPath = folder + u"Logo1.bmp";
    settings.logo2Path = folder + u"logo2.bmp";
    settings.appPath = folder + u"NAPP.bin";
    return settings;
}

INSTANTIATE_TEST_SUITE_P(
    Folders, AutoUpdateDetectionTest,
    testing::Values(
        DetectCase{"Empty", {}, false, {}},
        DetectCase{"UnknownNamesOnly", {u"NK.nb0", u"logo3.bmp"}, false, {}},
        DetectCase{"Os", {u"NK.bin"}, true, Only(&UpdateSettings::osEnabled, &UpdateSettings::osPath, u"NK.bin")},
        DetectCase{"Logo", {u"Logo1.bmp"}, true,
                   Only(&UpdateSettings::logoEnabled, &UpdateSettings::logoPath, u"Logo1.bmp")},
        DetectCase{"Logo2StoredAsTested", {u"logo2.bmp"}, true,
                   Only(&UpdateSettings::logo2Enabled, &UpdateSettings::logo2Path, u"logo2.bmp")},
        DetectCase{"Logo2FoundWhateverItsCase", {u"LoGo2.BmP"}, true,
                   Only(&UpdateSettings::logo2Enabled, &UpdateSettings::logo2Path, u"logo2.bmp")},
        DetectCase{"BootAlsoEnablesReset", {u"Eboot.nb0"}, true, BootAndReset()},
        DetectCase{"App", {u"NAPP.bin"}, true, Only(&UpdateSettings::appEnabled, &UpdateSettings::appPath, u"NAPP.bin")},
        DetectCase{"AllFive", {u"NK.bin", u"Logo1.bmp", u"logo2.bmp", u"Eboot.nb0", u"NAPP.bin"}, true, Everything()}),
    [](const testing::TestParamInfo<DetectCase>& info) { return info.param.name; });

TEST(AutoUpdateDetection, LeavesRowsOfMissingImagesAsTheyWere) {
    test::FakeFileSystem fileSystem;
    fileSystem.AddFile(std::u16string(kFolder) + u"NK.bin", "image");
    UpdateSettings settings;
    settings.appEnabled = 1;
    settings.appPath = u"\\kept";
    DetectAutoUpdate(fileSystem, kFolder, settings);
    EXPECT_EQ(settings.appEnabled, 1);
    EXPECT_EQ(settings.appPath, u"\\kept");
}

}  // namespace
}  // namespace velkor::mainwnd
