#include "support/ProgramRun.h"

#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;

struct DryRunCase {
    const char* name;
    // The device the card is made for, by `velkor-device init` options; the dry run is on an
    // 800x480 device.
    QStringList cardDevice;
    int exitCode;
    // Lines of the report, as regular expressions.
    std::vector<std::string> rows;
};

class DryRunTest : public ::testing::TestWithParam<DryRunCase> {};

ProgramResult DeviceTool(const QStringList& arguments) { return RunProgram(QStringLiteral(VELKOR_DEVICE_BINARY), arguments); }

// A card of the five sample images of a device made with `options`.
void MakeCard(const fs::path& folder, const QStringList& options, const fs::path& card) {
    const QString source = QString::fromStdString((folder / "source").string());
    ASSERT_EQ(DeviceTool(QStringList{"init", source} + options).exitCode, 0);
    const fs::path images = folder / "source/root/StorageCard/Images";
    QStringList arguments{"card", QString::fromStdString(card.string()), "--screen", "800x480"};
    for (const auto& [option, name] : {std::pair{"--os", "NK.bin"}, {"--logo", "Logo1.bmp"}, {"--logo2", "logo2.bmp"},
                                       {"--boot", "Eboot.nb0"}, {"--app", "NAPP.bin"}}) {
        arguments << option << QString::fromStdString((images / name).string());
    }
    // A card for another screen is refused as it is made; the dry run is where its effect shows.
    arguments.removeAt(arguments.indexOf("--logo2") + 1);
    arguments.removeAt(arguments.indexOf("--logo2"));
    ASSERT_EQ(DeviceTool(arguments).exitCode, 0);
    fs::copy_file(images / "logo2.bmp", card / "AutoUpdate/logo2.bmp");
}

TEST_P(DryRunTest, ReportsEachRowAndLeavesTheDeviceAlone) {
    const QTemporaryDir temporary;
    const fs::path folder = temporary.path().toStdString();
    MakeCard(folder, GetParam().cardDevice, folder / "card");
    const QString device = QString::fromStdString((folder / "device").string());
    ASSERT_EQ(DeviceTool({"init", device}).exitCode, 0);

    const ProgramResult run = DeviceTool({"dry-run", QString::fromStdString((folder / "card").string()), "--device", device});
    const std::string report = run.standardOutput.toStdString();
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << report << run.standardError.toStdString();
    for (const std::string& row : GetParam().rows) {
        EXPECT_THAT(report, ContainsRegex(row));
    }
    EXPECT_FALSE(fs::exists(folder / "device/events.log")) << "the device itself was updated";
    EXPECT_FALSE(fs::exists(folder / "device/flash/os.bin")) << "the device itself was updated";
}

INSTANTIATE_TEST_SUITE_P(
    Cards, DryRunTest,
    ::testing::Values(
        DryRunCase{"EveryRowSucceeds", {}, 0,
                   {"Logo   Succeed \\[[0-9]+ s\\]", "Logo2  Succeed", "Boot   Succeed", "OS     Succeed",
                    "App    Succeed", "Reset  Succeed",
                    "device-control .VKRFlash.Vol: 0x800020DC \".StorageCard.AutoUpdate.NK.bin\" 0 -> 1"}},
        DryRunCase{"SecondLogoOfAnotherScreenFails", {"--screen", "640x480"}, 1,
                   {"Logo2  Failed\n +the second logo is 640 x 480, the screen 800 x 480", "Logo   Succeed",
                    "OS     Succeed", "App    Succeed"}}),
    [](const ::testing::TestParamInfo<DryRunCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor::test
