#include "backend/shared/DismountedFolders.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/FolderFileSystem.h"
#include "mainwnd/CSettingsFile.h"
#include "mainwnd/SettingsEntries.h"
#include "platform/Sha256.h"
#include "support/BitmapBytes.h"
#include "support/ProgramRun.h"
#include "support/SettingsBytes.h"
#include "trust/ManifestWriter.h"

#include <QDir>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <tuple>
#include <vector>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::StartsWith;

using Files = std::map<fs::path, std::string>;
using update::ImageKind;

// The manifest of an unsigned card made without a device family or version: `images` are (row,
// path on the card, bytes), in the order an update writes them.
std::string UnsignedManifest(const std::vector<std::tuple<ImageKind, std::string, std::string>>& images) {
    trust::Manifest manifest{"unspecified", 0, {}};
    for (const auto& [row, path, bytes] : images) {
        manifest.images.push_back({row, path, bytes.size(), platform::Sha256::Of(bytes)});
    }
    return trust::WriteManifest(manifest);
}

// A device in {dir}/device with a 4 x 2 screen, the given flash region sizes and its storage card in
// the folder `cardFolder`, which the one removable store's profile names.
Files SmallDevice(const std::string& regions, const std::string& cardFolder = "StorageCard") {
    return {{"device/device.json",
             R"({"screen": {"width": 4, "height": 2}, "languageId": 1033, "flashRegions": )" + regions + "}"},
            {"device/platform.reg", "[HKEY_LOCAL_MACHINE\\System\\StorageManager\\Profiles\\SDMemory]\n"
                                    "\"Folder\"=\"" + cardFolder + "\"\n"},
            {"device/root/" + cardFolder + "/readme.txt", "the card"}};
}

Files operator+(Files files, const Files& more) {
    files.insert(more.begin(), more.end());
    return files;
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
    // Runs `velkor-device card` in the temporary folder, which is also the home directory.
    ProgramResult Card(const QStringList& arguments) const {
        const QString dir = QString::fromStdString(Dir().string());
        QStringList expanded{"-c", "cd \"$0\" && exec \"$@\"", dir, VELKOR_DEVICE_BINARY, "card"};
        for (const QString& argument : arguments) {
            expanded << QString::fromStdString(InDir(argument.toStdString()));
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", dir + "/home");
        return RunProgram("/bin/sh", expanded, environment);
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
    QStringList arguments;  // after "card"
    int exitCode;
    // The first lines on stderr.
    std::string refusal;
};

class CardRefusalTest : public CardCommandTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(CardRefusalTest, NamesEveryProblemAndChangesNothing) {
    Write(GetParam().files);
    const Files before = Snapshot();

    const ProgramResult result = Card(GetParam().arguments);
    EXPECT_EQ(result.exitCode, GetParam().exitCode);
    EXPECT_THAT(result.standardError.toStdString(), StartsWith(InDir(GetParam().refusal)));
    EXPECT_TRUE(result.standardOutput.isEmpty());
    EXPECT_EQ(Snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, CardRefusalTest,
    ::testing::Values(
        RefusalCase{"Unreadable", {}, {"{dir}/card", "--os", "{dir}/NK.bin"}, 1,
                    "{dir}/NK.bin cannot be read (no such file): the card would have no image for the OS row\n"
                    "velkor-device: no card made in {dir}/card: 1 problem(s)\n"},
        RefusalCase{"LogoTooLargeForItsRegionAndUndecodable",
                    SmallDevice(R"({"logo": 4})") + Files{{"logo.bmp", "hello"}},
                    {"{dir}/card", "--device", "{dir}/device", "--logo", "{dir}/logo.bmp"}, 1,
                    "{dir}/logo.bmp is 5 bytes but the logo region holds 4: the Logo row would show \"Failed\"\n"
                    "{dir}/logo.bmp is not a bitmap the device can decode: the Logo row would still write it to "
                    "the logo region, leaving the device without a boot logo\n"
                    "velkor-device: no card made in {dir}/card: 2 problem(s)\n"},
        RefusalCase{"SecondLogoUndecodable", {{"logo2.bmp", "hello"}}, {"{dir}/card", "--logo2", "{dir}/logo2.bmp"}, 1,
                    "{dir}/logo2.bmp is not a bitmap the device can decode: the Logo2 row would show \"Failed\"\n"},
        RefusalCase{"SecondLogoOfAnotherSize", {{"logo2.bmp", Bitmap(5, 2)}},
                    {"{dir}/card", "--screen", "4x2", "--logo2", "{dir}/logo2.bmp"}, 1,
                    "{dir}/logo2.bmp is 5x2 but the screen is 4x2: the Logo2 row would show \"Failed\"\n"},
        RefusalCase{"SecondLogoInALayoutTheRewriteLeaves", {{"logo2.bmp", Bitmap(4, 2, 32)}},
                    {"{dir}/card", "--screen", "4x2", "--logo2", "{dir}/logo2.bmp"}, 1,
                    "{dir}/logo2.bmp is a bitmap the second logo's rewrite does not handle (it takes uncompressed "
                    "24-bit, or 16-bit 5-5-5, stored bottom-up): the Logo2 row would show \"Succeed\" but leave its "
                    "near-black pixels as they are\n"},
        RefusalCase{"EmptyImagesForWholeRegions", {{"empty", ""}, {"logo.bmp", Bitmap(2, 2)}},
                    {"{dir}/card", "--boot", "{dir}/empty", "--os", "{dir}/empty", "--app", "{dir}/empty", "--logo",
                     "{dir}/logo.bmp"},
                    1,
                    "{dir}/empty is empty: the Boot row would write nothing into the boot region and show \"Succeed\", "
                    "leaving the device without its boot loader\n"
                    "{dir}/empty is empty: the OS row would write nothing into the os region and show \"Succeed\", "
                    "leaving the device without its operating system\n"
                    "{dir}/empty is empty: the App row would write nothing into the app region and show \"Succeed\", "
                    "leaving the device without its application package\n"
                    "velkor-device: no card made in {dir}/card: 3 problem(s)\n"},
        RefusalCase{"TwoImagesOfOneNameOnAManualCard",
                    {{"a/x.bmp", Bitmap(2, 2)}, {"b/X.BMP", Bitmap(4, 2)}},
                    {"{dir}/card", "--manual", "--screen", "4x2", "--logo", "{dir}/a/x.bmp", "--logo2",
                     "{dir}/b/X.BMP"},
                    1,
                    "{dir}/a/x.bmp and {dir}/b/X.BMP would both be \\StorageCard\\Images\\X.BMP: the Logo and Logo2 "
                    "rows would write the same file\n"},
        RefusalCase{"DevicePathLongerThanTheDeviceTakes", {{std::string(250, 'n') + ".bin", "os"}},
                    {"{dir}/card", "--manual", "--os", "{dir}/" + QString(250, 'n') + ".bin"}, 1,
                    "{dir}/" + std::string(250, 'n') + ".bin would be \\StorageCard\\Images\\" +
                        std::string(250, 'n') + ".bin on the device, 274 characters, longer than the 259 a device "
                        "path holds: the OS row would not reach it; shorten the file's name\n"},
        RefusalCase{"ManualCardForADeviceWhoseCardIsElsewhere",
                    SmallDevice(R"({"os": 8})", "Storage Card") + Files{{"NK.bin", "os"}},
                    {"{dir}/card", "--manual", "--device", "{dir}/device", "--os", "{dir}/NK.bin"}, 1,
                    "the updater reads its settings file only from \\StorageCard\\updater.cfg, but the storage card "
                    "of {dir}/device is \\Storage Card: a card for an update by hand would choose no row there; --auto "
                    "lays the card out for the AutoUpdate folder, which the updater finds on any card\n"},
        RefusalCase{"DeviceWithoutAStorageCardProfile",
                    Files{{"device/device.json", R"({"screen": {"width": 4, "height": 2}, "languageId": 1033})"},
                          {"device/platform.reg", ""}, {"device/root/x", ""}, {"NK.bin", "os"}},
                    {"{dir}/card", "--device", "{dir}/device", "--os", "{dir}/NK.bin"}, 1,
                    "velkor-device: the device {dir}/device has no storage-card profile in its registry: the updater "
                    "would find no card there\n"},
        RefusalCase{"EarlierCardWithoutForce", {{"card/AutoUpdate/NK.bin", "old"}, {"NK.bin", "os"}},
                    {"{dir}/card", "--os", "{dir}/NK.bin"}, 1,
                    "{dir}/card already holds a card: --force replaces it\n"},
        RefusalCase{"ForceOnAFolderThatHoldsMoreThanACard",
                    {{"card/AutoUpdate/NK.bin", "old"}, {"card/notes/todo.txt", "mine"}, {"NK.bin", "os"}},
                    {"{dir}/card", "--force", "--os", "{dir}/NK.bin"}, 1,
                    "{dir}/card holds notes, which no card holds: --force replaces only an earlier card, so name a new "
                    "folder for the card or empty this one\n"},
        RefusalCase{"ForceOnTheFolderOfTheImages", {{"in/NK.bin", "os"}},
                    {"{dir}/in", "--force", "--os", "{dir}/in/NK.bin"}, 1,
                    "{dir}/in holds the OS row's image {dir}/in/NK.bin: a card never replaces it; name a new folder "
                    "for the card\n"},
        RefusalCase{"ForceOnTheDeviceDirectory", SmallDevice(R"({"os": 8})") + Files{{"NK.bin", "os"}},
                    {"{dir}/device", "--force", "--device", "{dir}/device", "--os", "{dir}/NK.bin"}, 1,
                    "{dir}/device is the device directory: a card never replaces it; name a new folder for the card\n"},
        RefusalCase{"ForceOnTheCurrentDirectory", {{"NK.bin", "os"}}, {".", "--force", "--os", "NK.bin"}, 1,
                    ". holds the OS row's image NK.bin: a card never replaces it; name a new folder for the card\n"
                    ". is the current directory: a card never replaces it; name a new folder for the card\n"},
        RefusalCase{"ForceAboveTheHomeDirectory", {{"home/notes.txt", "mine"}, {"in/NK.bin", "os"}},
                    {"{dir}", "--force", "--os", "{dir}/in/NK.bin"}, 1,
                    "{dir} holds the OS row's image {dir}/in/NK.bin: a card never replaces it; name a new folder for "
                    "the card\n"
                    "{dir} is the current directory: a card never replaces it; name a new folder for the card\n"
                    "{dir} holds the home directory {dir}/home: a card never replaces it; name a new folder for the "
                    "card\n"},
        RefusalCase{"NoImage", {}, {"{dir}/card"}, 2,
                    "velkor-device: card: at least one image is needed: --logo, --logo2, --boot, --os, --app\n"},
        RefusalCase{"BothLayouts", {{"NK.bin", "os"}}, {"{dir}/card", "--auto", "--manual", "--os", "{dir}/NK.bin"},
                    2, "velkor-device: card: --auto or --manual, not both: a card is laid out one way\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CardCommandTest, AutoCardHoldsEachImageUnderTheNameTheDetectionLooksForOnTheDevicesCard) {
    // The OS image fills its region exactly.
    const Files sources = SmallDevice(R"({"os": 6})", "Storage Card") +
                          Files{{"in/logo.bmp", Bitmap(2, 2)}, {"in/logo2.bmp", Bitmap(4, 2)}, {"in/boot", "boot"},
                                {"in/os", "os-six"}, {"in/app", "app"}};
    Write(sources);
    Files expected = Snapshot();

    const ProgramResult result =
        Card({"{dir}/card", "--device", "{dir}/device", "--logo", "{dir}/in/logo.bmp", "--logo2",
              "{dir}/in/logo2.bmp", "--boot", "{dir}/in/boot", "--os", "{dir}/in/os", "--app", "{dir}/in/app"});
    ASSERT_EQ(result.exitCode, 0) << result.standardError.toStdString();

    for (const char* folder : {"card", "card/AutoUpdate"}) {
        expected[folder] = "";
    }
    for (const auto& [name, source] : std::map<std::string, std::string>{
             {"Logo1.bmp", "logo.bmp"}, {"logo2.bmp", "logo2.bmp"}, {"Eboot.nb0", "boot"}, {"NK.bin", "os"},
             {"NAPP.bin", "app"}}) {
        expected["card/AutoUpdate/" + name] = sources.at("in/" + source);
    }
    expected["card/velkor-manifest.json"] =
        UnsignedManifest({{ImageKind::Logo, "AutoUpdate/Logo1.bmp", sources.at("in/logo.bmp")},
                          {ImageKind::Logo2, "AutoUpdate/logo2.bmp", sources.at("in/logo2.bmp")},
                          {ImageKind::Boot, "AutoUpdate/Eboot.nb0", "boot"},
                          {ImageKind::OS, "AutoUpdate/NK.bin", "os-six"},
                          {ImageKind::App, "AutoUpdate/NAPP.bin", "app"}});
    EXPECT_EQ(Snapshot(), expected);
    const std::string table = result.standardOutput.toStdString();
    EXPECT_THAT(table, StartsWith(InDir("Made the card {dir}/card for an unattended update:\n")));
    EXPECT_THAT(table, ContainsRegex(InDir("  Logo +{dir}/in/logo.bmp +70 +\\\\Storage Card\\\\AutoUpdate\\\\"
                                           "Logo1.bmp +logo region\n")));
    EXPECT_THAT(table, ContainsRegex(InDir("  Logo2 +{dir}/in/logo2.bmp +78 +\\\\Storage Card\\\\AutoUpdate\\\\"
                                           "logo2.bmp +\\\\VKRFlash\\\\\\$MSD\\$\\\\Logo\\\\Logo.bmp on the "
                                           "data volume\n")));
    EXPECT_THAT(table, ContainsRegex("  Boot +\\S+ +4 +.+Eboot.nb0 +boot region\n  OS +\\S+ +6 +.+NK.bin +os "
                                     "region\n  App +\\S+ +3 +.+NAPP.bin +app region\n"));
    EXPECT_THAT(table, HasSubstr(InDir("Copy what {dir}/card holds to the root of the storage card (\\Storage Card on "
                                       "the device)")));
}

TEST_F(CardCommandTest, ManualCardReplacesAnEarlierCardAndItsSettingsFilePicksTheImages) {
    Write({{"card/AutoUpdate/NK.bin", "old"}, {"card/Images/Old.bmp", "old"}, {"card/updater.cfg", "old"},
           {"Splash.bmp", Bitmap(4, 2)}, {"eb.nb0", "boot"}});

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
                         {"card/updater.cfg", ReadHostFile(Out() / "updater.cfg")},
                         {"card/velkor-manifest.json", UnsignedManifest({{ImageKind::Logo2, "Images/Splash.bmp", Bitmap(4, 2)},
                                                                         {ImageKind::Boot, "Images/eb.nb0", "boot"}})}};
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

TEST_F(CardCommandTest, OneFileServesTwoRowsOfAManualCard) {
    Write({{"both.bin", "image"}});

    const ProgramResult result = Card({"{dir}/card", "--manual", "--os", "{dir}/both.bin", "--app", "{dir}/both.bin"});
    ASSERT_EQ(result.exitCode, 0) << result.standardError.toStdString();

    EXPECT_EQ(Snapshot().count("card/Images/both.bin"), 1u);
    EXPECT_EQ(ReadHostFile(Out() / "velkor-manifest.json"), UnsignedManifest({{ImageKind::OS, "Images/both.bin", "image"}}))
        << "the manifest lists the file once, for the first row it serves";
    const std::u16string path = u"\\StorageCard\\Images\\both.bin";
    EXPECT_EQ(ReadHostFile(Out() / "updater.cfg"),
              SettingsFileBytes({u"1", path, u"0", u"", u"0", u"", u"0", u"", u"1", path, u"0"}));
}

}  // namespace
}  // namespace velkor::test
