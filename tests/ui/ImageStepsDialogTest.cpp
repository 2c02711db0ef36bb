#include "mainwnd/CUpdateDialog.h"
#include "backend/sim/DeviceInit.h"
#include "backend/sim/SimPlatform.h"
#include "support/LogTexts.h"
#include "support/ProgramRun.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace velkor::mainwnd {
namespace {

namespace fs = std::filesystem;
using test::ReadHostFile;

// The main window on a device made by `velkor-device init --auto`, whose rows hold the card's
// AutoUpdate images.
class ImageStepsDialogTest : public testing::Test {
protected:
    ImageStepsDialogTest() : device_(fs::path(temporary_.path().toStdString()) / "device") {
        sim::InitDevice(device_, sim::DeviceOptions{.autoUpdate = true});
        sim_.emplace(device_);
        dialog_.emplace(sim_->platform(), strings_);
        dialog_->Create();
    }

    std::string Image(const char* name) const { return ReadHostFile(device_ / "root/StorageCard/AutoUpdate" / name); }
    std::string Flash(const char* region) const { return ReadHostFile(device_ / "flash" / region); }

    ui::UiStrings strings_;
    QTemporaryDir temporary_;
    fs::path device_;
    std::optional<sim::SimPlatform> sim_;
    std::optional<CUpdateDialog> dialog_;
};

TEST_F(ImageStepsDialogTest, WriterStepsProgramTheirRegionsByteForByte) {
    struct Step {
        int (CUpdateDialog::*run)();
        const char* image;
        const char* region;
    };
    for (const Step& step : {Step{&CUpdateDialog::UpdateOs, "NK.bin", "os.bin"},
                             Step{&CUpdateDialog::UpdateLogo, "Logo1.bmp", "logo.bin"},
                             Step{&CUpdateDialog::UpdateBoot, "Eboot.nb0", "boot.bin"},
                             Step{&CUpdateDialog::UpdateAppPackage, "NAPP.bin", "app.bin"}}) {
        EXPECT_EQ(((*dialog_).*step.run)(), 1) << step.image;
        EXPECT_EQ(Flash(step.region), Image(step.image)) << step.region;
    }
}

TEST_F(ImageStepsDialogTest, ResetIsABareRequestAndTheSecondLogoACopyWithBlacksLifted) {
    EXPECT_EQ(dialog_->UpdateReset(), 1);
    EXPECT_EQ(dialog_->UpdateLogo2(), 1);

    EXPECT_EQ(test::LogTexts(ReadHostFile(device_ / "events.log")),
              std::vector<std::string>{"device-control \\VKRFlash\\Vol: 0x800020E0 null 0 -> 1"});
    EXPECT_FALSE(fs::exists(device_ / "flash"));
    // The sample logo's rows have no fill, and its only zero bytes are its black pixels.
    std::string lifted = Image("logo2.bmp");
    std::replace(lifted.begin() + 54, lifted.end(), '\0', '\10');
    EXPECT_EQ(ReadHostFile(device_ / "root/VKRFlash/$MSD$/Logo/Logo.bmp"), lifted);
}

}  // namespace
}  // namespace velkor::mainwnd
