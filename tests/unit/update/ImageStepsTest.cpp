#include "update/ImageSteps.h"

#include "sim/SimPlatform.h"
#include "unit/sim/TempDevice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

namespace velkor::update {
namespace {

std::string PseudoRandomBytes(std::size_t count) {
    std::mt19937 generator(7);
    std::string bytes(count, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(generator());
    }
    return bytes;
}

// Larger than the driver's chunks, and not a multiple of them.
const std::string kOsImage = PseudoRandomBytes(2 * 1024 * 1024 + 12345);

struct StepCase {
    const char* name;
    ImageKind kind;
    std::u16string path;
    const char* region;  // empty when nothing may reach the flash
    std::string image;
};

class WriteImageTest : public testing::TestWithParam<StepCase> {};

TEST_P(WriteImageTest, HandsAnExistingImageToTheDriverAndNothingElse) {
    const StepCase& c = GetParam();
    const sim::test::TempDevice device(
        "[HKEY_LOCAL_MACHINE\\System\\StorageManager\\Profiles\\BinFLASH]\n\"Folder\"=\"VKRFlash\"\n");
    device.Write("root/StorageCard/Images/image.bin", c.image);
    sim::SimPlatform sim(device.Dir());

    const bool written = *c.region != '\0';
    EXPECT_EQ(WriteImage(sim.platform(), c.kind, c.path), written ? 1 : 0);

    if (written) {
        EXPECT_EQ(device.Read(std::filesystem::path("flash") / c.region), c.image);
    } else {
        EXPECT_FALSE(std::filesystem::exists(device.Dir() / "events.log")) << "the driver received a request";
        EXPECT_FALSE(std::filesystem::exists(device.Dir() / "flash"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, WriteImageTest,
    testing::Values(StepCase{"Os", ImageKind::OS, u"\\StorageCard\\Images\\image.bin", "os.bin", kOsImage},
                    StepCase{"Logo", ImageKind::Logo, u"\\storagecard\\images\\IMAGE.BIN", "logo.bin", "logo"},
                    StepCase{"Boot", ImageKind::Boot, u"\\StorageCard\\Images\\image.bin", "boot.bin", "boot"},
                    StepCase{"App", ImageKind::App, u"\\StorageCard\\Images\\image.bin", "app.bin", "app"},
                    StepCase{"EmptyPath", ImageKind::OS, u"", "", "os"},
                    StepCase{"MissingFile", ImageKind::App, u"\\StorageCard\\Images\\none.bin", "", "app"}),
    [](const testing::TestParamInfo<StepCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::update
