#include "update/ImageSteps.h"

#include "backend/sim/SimPlatform.h"
#include "backend/sim/TempDevice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace velkor::update {
namespace {

// Images that do land in flash are compared byte for byte by the main window's test.
struct UncheckedPathCase {
    const char* name;
    ImageKind kind;
    std::u16string path;
};

class WriteImageTest : public testing::TestWithParam<UncheckedPathCase> {};

TEST_P(WriteImageTest, SendsTheDriverNothingWithoutAnImageFile) {
    const sim::test::TempDevice device(
        "[HKEY_LOCAL_MACHINE\\System\\StorageManager\\Profiles\\BinFLASH]\n\"Folder\"=\"VKRFlash\"\n");
    device.Write("root/StorageCard/Images/NK.bin", "image");
    sim::SimPlatform sim(device.Dir());

    EXPECT_EQ(WriteImage(sim.platform(), GetParam().kind, GetParam().path), 0);

    EXPECT_FALSE(std::filesystem::exists(device.Dir() / "events.log")) << "the driver received a request";
    EXPECT_FALSE(std::filesystem::exists(device.Dir() / "flash"));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, WriteImageTest,
    testing::Values(UncheckedPathCase{"EmptyPath", ImageKind::OS, u""},
                    UncheckedPathCase{"MissingFile", ImageKind::App, u"\\StorageCard\\Images\\none.bin"},
                    UncheckedPathCase{"MissingFolder", ImageKind::Boot, u"\\StorageCard\\Nowhere\\NK.bin"},
                    UncheckedPathCase{"NotAWriterStep", ImageKind::Logo2, u"\\StorageCard\\Images\\NK.bin"}),
    [](const testing::TestParamInfo<UncheckedPathCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::update
