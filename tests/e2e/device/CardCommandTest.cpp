#include "backend/shared/DismountedFolders.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/FolderFileSystem.h"
#include "mainwnd/CSettingsFile.h"
#include "mainwnd/SettingsEntries.h"
#include "support/BitmapBytes.h"
#include "support/ProgramRun.h"

#include <QDir>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ContainsRegex;
using ::testing::StartsWith;

using Files = std::map<fs::path, std::string>;

// device.json of a device with a 4 x 2 screen and the given flash region sizes.
std::string SmallDevice(const std::string& regions) {
    return R"({"screen": {"width": 4, "height": 2}, "languageId": 1033, "flashRegions": )" + regions + "}";
}

// An all-black bitmap stored bottom-up, uncompressed.
std::string Bitmap(int width, int height, std::uint16_t bitsPerPixel = 24) {
    BitmapFields fields;
    fields.width = width;
    fields.height = height;
    fields.bitsPerPixel = bitsPerPixel;
    fields.pixels.assign(static_cast<std::size_t>((width * bitsPerPixel + 31) / 32 * 4 * height), '\0');
    return BitmapFile(fields);
}

class CardCommandTest : public ::testing::Test {
protected:
    fs::path Dir() const { return temporary_.path().toStdString(); }
    fs::path Out() const { return Dir() / "card"; }
    // `text` with each "{dir}" replaced by the temporary folder.
    std::string InDir(const std::string& text) const {
        return std::regex_replace(text, std::regex("\\{dir\\}"), Dir().string());
    }

    void Write(const Files& files) const {
        for (const auto& [name, bytes] : files) {
            WriteHostFile(Dir() / name, bytes);
        }
    }
    ProgramResult Card(const QStringList& arguments) const {
        QStringList expanded{"card"};
        for (const QString& argument : arguments) {
            expanded << QString::fromStdString(InDir(argument.toStdString()));
        }
        return RunProgram(VELKOR_DEVICE_BINARY, expanded);
    }
    // Every file below the temporary folder with its bytes: a scratch folder left behind shows too.
    Files Snapshot() const {
        Files files;
        for (const auto& entry : fs::recursive_directory_iterator(Dir())) {
            files[entry.path().lexically_relative(Dir())] = entry.is_regular_file() ? ReadHostFile(entry.path()) : "";
        }
        return files;
    }

private:
    QTemporaryDir temporary_{QDir::tempPath() + "/card-XXXXXX"};
};

struct RefusalCase {
    const char* name;
    Files files;
    QStringList arguments;  // after "card {dir}/card"
    int exitCode;
    // The first lines on stderr.
    std::string refusal;
};

class CardRefusalTest : public CardCommandTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(CardRefusalTest, NamesEveryProblemAndChangesNothing) {
    Write(GetParam().files);
    const Files before = Snapshot();

    const ProgramResult result = Card(QStringList{"{dir}/card"} + GetParam().arguments);
    EXPECT_EQ(result.exitCode, GetParam().exitCode);
    EXPECT_THAT(result.standardError.toStdString(), StartsWith(InDir(GetParam().refusal)));
    EXPECT_TRUE(result.standardOutput.isEmpty());
    EXPECT_EQ(Snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, CardRefusalTest,
    ::testing::Values(
        RefusalCase{"Unreadable", {}, {"--os", "{dir}/NK.bin"}, 1,
                    "{dir}/NK.bin cannot be read (no such file): the card would have no image for the OS row\n"
                    "velkor-device: no card made in {dir}/card: 1 problem(s)\n"},
        RefusalCase{"LogoTooLargeForItsRegionAndUndecodable",
                    {{"device/device.json", SmallDevice(R"({"logo": 4})")}, {"logo.bmp", "hello"}},
                    {"--device", "{dir}/device", "--logo", "{dir}/logo.bmp"}, 1,
                    "{dir}/logo.bmp is 5 bytes but the logo region holds 4: the Logo row would show \"Failed\"\n"
                    "{dir}/logo.bmp is not a bitmap the device can decode: the Logo row would still write it to "
                    "the logo region, leaving the device without a boot logo\n"
                    "velkor-device: no card made in {dir}/card: 2 problem(s)\n"},
        RefusalCase{"SecondLogoUndecodable", {{"logo2.bmp", "hello"}}, {"--logo2", "{dir}/logo2.bmp"}, 1,
                    "{dir}/logo2.bmp is not a bitmap the device can decode: the Logo2 row would show \"Failed\"\n"},
        RefusalCase{"SecondLogoOfAnotherSize", {{"logo2.bmp", Bitmap(5, 2)}},
                    {"--screen", "4x2", "--logo2", "{dir}/logo2.bmp"}, 1,
                    "{dir}/logo2.bmp is 5x2 but the screen is 4x2: the Logo2 row would show \"Failed\"\n"},
        RefusalCase{"SecondLogoInALayoutTheRewriteLeaves", {{"logo2.bmp", Bitmap(4, 2, 32)}},
                    {"--screen", "4x2", "--logo2", "{dir}/logo2.bmp"}, 1,
                    "{dir}/logo2.bmp is a bitmap the second logo's rewrite does not handle (it takes uncompressed "
                    "24-bit, or 16-bit 5-5-5, stored bottom-up): the Logo2 row would show \"Succeed\" but leave its "
                    "near-black pixels as they are\n"},
        RefusalCase{"TwoImagesOfOneNameOnAManualCard",
                    {{"a/x.bmp", Bitmap(4, 2)}, {"b/X.BMP", Bitmap(4, 2)}},
                    {"--manual", "--screen", "4x2", "--logo", "{dir}/a/x.bmp", "--logo2", "{dir}/b/X.BMP"}, 1,
                    "{dir}/a/x.bmp and {dir}/b/X.BMP would both be \\StorageCard\\Images\\X.BMP: the Logo and Logo2 "
                    "rows would write the same file\n"},
        RefusalCase{"ExistingCardWithoutForce", {{"card/mine.txt", "mine"}, {"NK.bin", "os"}},
                    {"--os", "{dir}/NK.bin"}, 1, "{dir}/card already exists: --force replaces it\n"},
        RefusalCase{"NoImage", {}, {}, 2,
                    "velkor-device: card needs at least one image: --logo, --logo2, --boot, --os, --app\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CardCommandTest, AutoCardHoldsEachImageUnderTheNameTheDetectionLooksFor) {
    // The OS image fills its region exactly.
    const Files sources{{"device/device.json", SmallDevice(R"({"os": 6})")},
                        {"in/logo.bmp", Bitmap(2, 2)}, {"in/logo2.bmp", Bitmap(4, 2)}, {"in/boot", "boot"},
                        {"in/os", "os-six"}, {"in/app", "app"}};
    Write(sources);

    const ProgramResult result =
        Card({"{dir}/card", "--device", "{dir}/device", "--logo", "{dir}/in/logo.bmp", "--logo2",
              "{dir}/in/logo2.bmp", "--boot", "{dir}/in/boot", "--os", "{dir}/in/os", "--app", "{dir}/in/app"});
    ASSERT_EQ(result.exitCode, 0) << result.standardError.toStdString();

    Files expected = sources;
    for (const char* folder : {"device", "in", "card", "card/AutoUpdate"}) {
        expected[folder] = "";
    }
    for (const auto& [name, source] : std::map<std::string, std::string>{
             {"Logo1.bmp", "logo.bmp"}, {"logo2.bmp", "logo2.bmp"}, {"Eboot.nb0", "boot"}, {"NK.bin", "os"},
             {"NAPP.bin", "app"}}) {
        expected["card/AutoUpdate/" + name] = sources.at("in/" + source);
    }
    EXPECT_EQ(Snapshot(), expected);
    const std::string table = result.standardOutput.toStdString();
    EXPECT_THAT(table, StartsWith(InDir("Made the card {dir}/card for an unattended update:\n")));
    EXPECT_THAT(table, ContainsRegex(InDir("  Logo +{dir}/in/logo.bmp +70 +\\\\StorageCard\\\\AutoUpdate\\\\Logo1.bmp"
                                           " +logo region\n")));
    EXPECT_THAT(table, ContainsRegex(InDir("  Logo2 +{dir}/in/logo2.bmp +78 +\\\\StorageCard\\\\AutoUpdate\\\\"
                                           "logo2.bmp +\\\\VKRFlash\\\\\\$MSD\\$\\\\Logo\\\\Logo.bmp on the data volume\n")));
    EXPECT_THAT(table, ContainsRegex("  Boot +\\S+ +4 +\\S+Eboot.nb0 +boot region\n  OS +\\S+ +6 +\\S+NK.bin +os "
                                     "region\n  App +\\S+ +3 +\\S+NAPP.bin +app region\n"));
}

TEST_F(CardCommandTest, ManualCardReplacesTheOldOneAndItsSettingsFilePicksTheImages) {
    Write({{"card/old.txt", "old"}, {"Splash.bmp", Bitmap(4, 2)}, {"eb.nb0", "boot"}});

    const ProgramResult result = Card({"{dir}/card", "--manual", "--force", "--screen", "4x2", "--logo2",
                                       "{dir}/Splash.bmp", "--boot", "{dir}/eb.nb0"});
    ASSERT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_THAT(result.standardOutput.toStdString(),
                StartsWith(InDir("Made the card {dir}/card for an update by hand; \\StorageCard\\updater.cfg ticks "
                                 "Logo2, Boot, Reset:\n")));

    const Files expected{{"Splash.bmp", Bitmap(4, 2)},
                         {"eb.nb0", "boot"},
                         {"card", ""},
                         {"card/Images", ""},
                         {"card/Images/Splash.bmp", Bitmap(4, 2)},
                         {"card/Images/eb.nb0", "boot"},
                         {"card/updater.cfg", ReadHostFile(Out() / "updater.cfg")}};
    EXPECT_EQ(Snapshot(), expected);
    shared::ErrorState errors;
    const shared::DismountedFolders noneDismounted;
    shared::FolderFileSystem card(Out(), noneDismounted, shared::FileRules{}, errors);
    platform::StringArray entries;
    mainwnd::CSettingsFile(card, u"\\updater.cfg").ReadEntries(entries);
    update::UpdateSettings read;
    ASSERT_TRUE(mainwnd::ApplySettingsEntries(entries, read));
    update::UpdateSettings picked;
    picked.logo2Enabled = picked.bootEnabled = picked.resetEnabled = 1;
    picked.logo2Path = u"\\StorageCard\\Images\\Splash.bmp";
    picked.bootPath = u"\\StorageCard\\Images\\eb.nb0";
    EXPECT_TRUE(read == picked);
}

}  // namespace
}  // namespace velkor::test
