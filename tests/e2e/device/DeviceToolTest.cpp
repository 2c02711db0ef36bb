#include "platform/FlashControlCodes.h"
#include "backend/sim/SimPlatform.h"
#include "support/ProgramRun.h"
#include "support/SettingsBytes.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>

#include <nlohmann/json.hpp>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::Not;

class DeviceToolTest : public ::testing::Test {
protected:
    fs::path Dir() const { return fs::path(temporary_.path().toStdString()) / "device"; }
    QString DirArgument() const { return QString::fromStdString(Dir().string()); }

    static ProgramResult Run(const QStringList& arguments) { return RunProgram(VELKOR_DEVICE_BINARY, arguments); }
    static std::string Output(const ProgramResult& result) { return result.standardOutput.toStdString(); }

    void Init(const QStringList& options = {}) {
        const ProgramResult result = Run(QStringList{"init", DirArgument()} + options);
        ASSERT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    }
    std::string Show() const {
        const ProgramResult result = Run({"show", DirArgument()});
        EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
        return Output(result);
    }

    // Every file below the device with its size and modification time.
    std::map<fs::path, std::pair<std::uintmax_t, fs::file_time_type>> Snapshot() const {
        std::map<fs::path, std::pair<std::uintmax_t, fs::file_time_type>> files;
        for (const auto& entry : fs::recursive_directory_iterator(Dir())) {
            files[entry.path()] = {entry.is_regular_file() ? entry.file_size() : 0, entry.last_write_time()};
        }
        return files;
    }

private:
    QTemporaryDir temporary_;
};

TEST_F(DeviceToolTest, InitMakesADeviceThatShowDescribes) {
    const ProgramResult init = Run({"init", DirArgument()});
    ASSERT_EQ(init.exitCode, 0) << init.standardError.toStdString();
    EXPECT_THAT(Output(init), HasSubstr("velkor --device " + fs::absolute(Dir()).string()));
    EXPECT_THAT(Output(init), HasSubstr("root/StorageCard/Images/NK.bin"));

    const std::string shown = Show();
    EXPECT_THAT(shown, ContainsRegex("Screen: +800 x 480\n"));
    EXPECT_THAT(shown, ContainsRegex("Language: +0x0409\n"));
    EXPECT_THAT(shown, ContainsRegex("SDMemory +Name \"SD Memory Card\" +Folder \"StorageCard\"\n"));
    EXPECT_THAT(shown, ContainsRegex("NandFLASH +Name \"NAND Flash\" +Folder \"NandFlash\" +\\(the device's own"));
    EXPECT_THAT(shown, ContainsRegex("BinFLASH +Name \"Bin Flash\" +Folder \"VKRFlash\" +\\(the device's own"));
    EXPECT_THAT(shown, HasSubstr("Stores:\n"
                                 "  DSK1:        profile NandFLASH\n"
                                 "    Part00     \\NandFlash in NandFlash: bytesPerSector 512, sectorsPerCluster 4, "
                                 "reservedSectors 1, fats 2, rootEntries 512, totalSectors 16000, media 248, "
                                 "sectorsPerFat 12, sectorsPerTrack 32, heads 2, hiddenSectors 0\n"
                                 "  DSK2:        profile BinFLASH\n"
                                 "    Part00     \\VKRFlash in VKRFlash: bytesPerSector 512,"));
    EXPECT_THAT(shown, ContainsRegex("Storage card: +\\\\StorageCard\n"));
    EXPECT_THAT(shown, ContainsRegex("Auto update: +no images in \\\\StorageCard\\\\AutoUpdate\\\\\n"));
    EXPECT_THAT(shown, ContainsRegex("Settings file: +\\\\StorageCard\\\\updater.cfg: no such file\n"));
    EXPECT_THAT(shown, ContainsRegex("Flash regions: +none written yet\n"));
    EXPECT_THAT(shown, ContainsRegex("Recent events: +none\n"));
}

TEST_F(DeviceToolTest, InitOptionsReachTheDevice) {
    Init({"--auto", "--screen", "1024x600", "--language", "0x0804"});

    const std::string shown = Show();
    EXPECT_THAT(shown, ContainsRegex("Screen: +1024 x 600\n"));
    EXPECT_THAT(shown, ContainsRegex("Language: +0x0804 Chinese \\(PRC\\)\n"));
    EXPECT_THAT(shown, ContainsRegex("Auto update: +images in \\\\StorageCard\\\\AutoUpdate\\\\\n"));
    EXPECT_THAT(shown, ContainsRegex("  OS +\\\\StorageCard\\\\AutoUpdate\\\\NK.bin\n"));
    EXPECT_THAT(shown, ContainsRegex("  Logo2 +\\\\StorageCard\\\\AutoUpdate\\\\logo2.bmp\n"));
}

TEST_F(DeviceToolTest, ShowDecodesTheSettingsFileAndNamesIgnoredEntries) {
    Init();
    const std::vector<std::u16string> entries{u"1", u"\\StorageCard\\Images\\NK.bin",    u"0", u"",
                                              u"1", u"\\StorageCard\\Images\\logo2.bmp", u"0", u"",
                                              u"1", u"\\StorageCard\\Images\\NAPP.bin",  u"1", u"extra"};
    WriteHostFile(Dir() / "root/StorageCard/updater.cfg", SettingsFileBytes(entries));

    const std::string shown = Show();
    EXPECT_THAT(shown, ContainsRegex("Settings file: +\\\\StorageCard\\\\updater.cfg\n"));
    EXPECT_THAT(shown, ContainsRegex("  OS flag +\"1\"\n  OS path +\"\\\\StorageCard\\\\Images\\\\NK.bin\"\n"
                                     "  Logo flag +\"0\"\n  Logo path +\"\"\n"));
    EXPECT_THAT(shown, ContainsRegex("  App path +\"\\\\StorageCard\\\\Images\\\\NAPP.bin\"\n  Reset flag +\"1\"\n"));
    EXPECT_THAT(shown, ContainsRegex("  entry 12 ignored +\"extra\"\n"));
}

TEST_F(DeviceToolTest, ShowSaysWhyTooShortASettingsFileIsIgnored) {
    Init();
    WriteHostFile(Dir() / "root/StorageCard/updater.cfg", SettingsFileBytes({u"1", u"\\x", u"0"}));

    EXPECT_THAT(Show(), HasSubstr("only 3 entries; 11 are needed"));
}

TEST_F(DeviceToolTest, ShowSaysWhenTheDeviceHasNoStores) {
    Init();
    WriteHostFile(Dir() / "device.json", R"({"screen": {"width": 800, "height": 480}, "languageId": 1033})");

    EXPECT_THAT(Show(), ContainsRegex("\nStores: +none\n"));
}

TEST_F(DeviceToolTest, ShowListsFlashRegionsAndTheLastTenEvents) {
    Init();
    WriteHostFile(Dir() / "flash/os.bin", "abc");
    std::string events;
    for (int line = 1; line <= 12; ++line) {
        events += "2024-01-02 03:04:05.006 event-" + std::to_string(line) + "\n";
    }
    WriteHostFile(Dir() / "events.log", events);

    const std::string shown = Show();
    EXPECT_THAT(
        shown,
        ContainsRegex("os.bin +3 bytes  sha256 ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\n"));
    EXPECT_THAT(shown, HasSubstr("event-3\n"));
    EXPECT_THAT(shown, HasSubstr("event-12\n"));
    EXPECT_THAT(shown, Not(HasSubstr("event-2\n")));
}

TEST_F(DeviceToolTest, ShowListsARegionJustProgrammedByTheFlashDriver) {
    Init();
    {
        sim::SimPlatform device(Dir());
        const auto flash = device.platform().deviceIo.OpenDevice(u"\\VKRFlash\\Vol:", platform::kGenericWrite,
                                                                 platform::kShareExclusive);
        ASSERT_TRUE(flash);
        ASSERT_EQ(
            flash->Control(platform::IOCTL_FLASH_WRITE_OS, u"\\StorageCard\\Images\\NK.bin", 0, nullptr, 0, nullptr),
            1);
    }
    QFile image(QString::fromStdString((Dir() / "root/StorageCard/Images/NK.bin").string()));
    ASSERT_TRUE(image.open(QIODevice::ReadOnly));
    const std::string sha256 =
        QCryptographicHash::hash(image.readAll(), QCryptographicHash::Sha256).toHex().toStdString();

    const std::string shown = Show();
    EXPECT_THAT(shown, ContainsRegex("\n  os.bin +262144 bytes  sha256 " + sha256 + "\n"));
    EXPECT_THAT(shown, ContainsRegex("Region sizes: +boot.bin 1048576, logo.bin 16777216, os.bin 67108864, "
                                     "app.bin 67108864 bytes\n"));
    EXPECT_THAT(shown, HasSubstr(R"(device-control \VKRFlash\Vol: 0x800020DC "\StorageCard\Images\NK.bin" 0 -> 1)"));
}

struct ShowProgramsCase {
    const char* name;
    // Replaces init's "programs" unless null; "none" removes the field.
    const char* programs;
    const char* shown;
};

class ShowProgramsTest : public DeviceToolTest, public ::testing::WithParamInterface<ShowProgramsCase> {};

TEST_P(ShowProgramsTest, ListsEachProgramAndItsWindows) {
    Init();
    if (const char* programs = GetParam().programs) {
        nlohmann::json config = nlohmann::json::parse(ReadHostFile(Dir() / "device.json"));
        config.erase("programs");
        if (std::string_view(programs) != "none") {
            config["programs"] = nlohmann::json::parse(programs);
        }
        WriteHostFile(Dir() / "device.json", config.dump());
    }

    EXPECT_THAT(Show(), ContainsRegex(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(
    Programs, ShowProgramsTest,
    ::testing::Values(
        ShowProgramsCase{"MadeByInit", nullptr,
                         "\nPrograms:\n"
                         "  101 +\\\\Windows\\\\Tirnow.exe +on a command: ignore\n    window visible, not owned\n"
                         "  102 +\\\\Windows\\\\Pavlor.exe +on a command: ignore\n    window visible, not owned\n"
                         "Recent events:"},
        ShowProgramsCase{"HiddenOwnedClosingAndWindowless",
                         R"([{"processId": 7, "executable": "\\Windows\\Quelt.exe", "onCommand": "close",
                             "windows": [{"visible": false, "owned": true}, {}]},
                            {"processId": 4294967295, "executable": "\\x.exe"}])",
                         "\nPrograms:\n"
                         "  7 +\\\\Windows\\\\Quelt.exe +on a command: close\n"
                         "    window hidden, owned\n    window visible, not owned\n"
                         "  4294967295 \\\\x.exe +on a command: ignore\n"
                         "Recent events:"},
        ShowProgramsCase{"None", "none", "\nPrograms: +none\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceToolTest, ShowChangesNothing) {
    Init();
    WriteHostFile(Dir() / "root/StorageCard/updater.cfg", SettingsFileBytes(std::vector<std::u16string>(11, u"1")));
    const auto before = Snapshot();

    Show();
    EXPECT_EQ(Snapshot(), before);
    EXPECT_FALSE(fs::exists(Dir() / "debug.log"));
    EXPECT_FALSE(fs::exists(Dir() / "events.log"));
}

TEST_F(DeviceToolTest, InitIntoADirectoryThatIsNotEmptyFailsAndChangesNothing) {
    WriteHostFile(Dir() / "notes.txt", "mine");
    const auto before = Snapshot();

    const ProgramResult result = Run({"init", DirArgument()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.standardError.toStdString(), HasSubstr("not an empty directory"));
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(DeviceToolTest, ShowOfSomethingThatIsNoDeviceFails) {
    const ProgramResult result = Run({"show", DirArgument()});

    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.standardError.toStdString(), HasSubstr("no such directory"));
}

constexpr const char* kEveryUsage =
    "usage: velkor-device init DIR [--auto] [--screen WxH] [--language ID]\n"
    "       velkor-device show DIR\n"
    "       velkor-device check-target FILE\n"
    "       velkor-device card OUT [--auto | --manual] [--device DIR | --target FILE] [--screen WxH] [--force]\n"
    "                          [--os FILE] [--app FILE] [--logo FILE] [--logo2 FILE] [--boot FILE]\n"
    "                          [--compatible TEXT] [--version N] [--sign-key KEY --sign-cert CERT [--sign-chain "
    "CHAIN]]\n"
    "       velkor-device dry-run CARD --device DIR\n"
    "       velkor-device init-target FILE --card DIR --log DIR [--boot DEV] [--logo DEV] [--os DEV | --os-slots A,B]\n"
    "                                 [--app DEV | --app-slots A,B] [--env DEV:OFFSET:SIZE --env DEV:OFFSET:SIZE "
    "[--command-line FILE]]\n"
    "                                 [--data DEV --data-mount DIR] [--nand DIR] [--keyring FILE --compatible TEXT "
    "[--record FILE]]\n"
    "                                 [--mount-command CMD] [--unmount-command CMD] [--restart-command CMD] [--force]\n"
    "       velkor-device install CARD (--device DIR | --target FILE) [--progress=lines|json] [--restart]\n"
    "       velkor-device env-init (--device DIR | --target FILE) [--defaults FILE]\n"
    "       velkor-device boot DIR\n"
    "       velkor-device mark-good (--device DIR | --target FILE)\n"
    "       velkor-device help [COMMAND] | COMMAND --help\n"
    "       velkor-device --version\n";
constexpr const char* kInitUsage = "usage: velkor-device init DIR [--auto] [--screen WxH] [--language ID]\n";
constexpr const char* kShowUsage = "usage: velkor-device show DIR\n";
constexpr const char* kCardUsage =
    "usage: velkor-device card OUT [--auto | --manual] [--device DIR | --target FILE] [--screen WxH] [--force]\n"
    "                          [--os FILE] [--app FILE] [--logo FILE] [--logo2 FILE] [--boot FILE]\n"
    "                          [--compatible TEXT] [--version N] [--sign-key KEY --sign-cert CERT [--sign-chain "
    "CHAIN]]\n";

struct BadArgumentsCase {
    const char* name;
    QStringList arguments;
    const char* message;
    // The usage after it: the command's own, or every command's when no command was understood.
    const char* usage;
};

class BadArgumentsTest : public ::testing::TestWithParam<BadArgumentsCase> {};

TEST_P(BadArgumentsTest, NameTheFaultPrintTheCommandsUsageAndExitWith2) {
    const ProgramResult result = RunProgram(VELKOR_DEVICE_BINARY, GetParam().arguments);

    EXPECT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.standardError.toStdString(),
              std::string("velkor-device: ") + GetParam().message + "\n\n" + GetParam().usage);
    EXPECT_TRUE(result.standardOutput.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, BadArgumentsTest,
    ::testing::Values(
        BadArgumentsCase{"NoCommand", {}, "a command is needed", kEveryUsage},
        BadArgumentsCase{"UnknownCommand", {"create", "/tmp/x"}, "there is no command \"create\"", kEveryUsage},
        BadArgumentsCase{"InitWithoutDirectory", {"init"}, "init: the directory to make the device in is needed",
                         kInitUsage},
        BadArgumentsCase{"InitWithTwoDirectories", {"init", "a", "b"}, "init: one directory only, not also \"b\"",
                         kInitUsage},
        BadArgumentsCase{"ScreenWithoutValue", {"init", "a", "--screen"}, "init: --screen needs a value", kInitUsage},
        BadArgumentsCase{"ScreenWithoutHeight", {"init", "a", "--screen", "800"},
                         "init: --screen wants WIDTHxHEIGHT, such as 800x480, not \"800\"", kInitUsage},
        BadArgumentsCase{"ScreenWithEmptyHeight", {"init", "a", "--screen", "800x"},
                         "init: --screen wants WIDTHxHEIGHT, such as 800x480, not \"800x\"", kInitUsage},
        BadArgumentsCase{"LanguageTooLarge", {"init", "a", "--language", "0x10000"},
                         "init: --language wants a 16-bit id such as 0x0804 or 2052, not \"0x10000\"", kInitUsage},
        BadArgumentsCase{"UnknownOption", {"init", "a", "--colour"}, "init: there is no option --colour", kInitUsage},
        BadArgumentsCase{"ShowWithoutDirectory", {"show"}, "show: the device directory is needed", kShowUsage},
        BadArgumentsCase{"ShowWithTwoDirectories", {"show", "a", "b"},
                         "show: one device directory only, not also \"b\"", kShowUsage},
        BadArgumentsCase{"ShowWithAnOption", {"show", "--auto"}, "show: there is no option --auto", kShowUsage},
        BadArgumentsCase{"CheckTargetWithAnOption", {"check-target", "t.json", "--force"},
                         "check-target: there is no option --force", "usage: velkor-device check-target FILE\n"},
        BadArgumentsCase{"CardWithAnUnknownOption", {"card", "out", "--os", "NK.bin", "--fast"},
                         "card: there is no option --fast", kCardUsage},
        BadArgumentsCase{"CardSigningKeyWithoutItsCertificate",
                         {"card", "out", "--os", "NK.bin", "--version", "3", "--sign-key", "k.pem"},
                         "card: --sign-key and --sign-cert go together: the key signs, its certificate names the "
                         "signer",
                         kCardUsage},
        BadArgumentsCase{"CardChainWithoutASigner", {"card", "out", "--os", "NK.bin", "--sign-chain", "c.pem"},
                         "card: --sign-chain goes with --sign-key and --sign-cert", kCardUsage},
        BadArgumentsCase{"CardSignedWithoutAVersion",
                         {"card", "out", "--os", "NK.bin", "--sign-key", "k.pem", "--sign-cert", "c.pem"},
                         "card: --sign-key needs --version: the device refuses a signed card older than what it has",
                         kCardUsage},
        BadArgumentsCase{"CardVersionNotANumber", {"card", "out", "--os", "NK.bin", "--version", "-1"},
                         "card: --version wants a whole number from 0, not \"-1\"", kCardUsage},
        BadArgumentsCase{"DryRunWithoutDevice", {"dry-run", "card"},
                         "dry-run: --device DIR is needed: the device the card is meant for",
                         "usage: velkor-device dry-run CARD --device DIR\n"},
        BadArgumentsCase{"HelpOfAnUnknownCommand", {"help", "frob"}, "help: there is no command \"frob\"",
                         "usage: velkor-device help [COMMAND] | COMMAND --help\n"},
        BadArgumentsCase{"VersionWithAnArgument", {"--version", "x"},
                         "--version: --version takes nothing after it, not \"x\"",
                         "usage: velkor-device --version\n"}),
    [](const auto& info) { return std::string(info.param.name); });

struct HelpCase {
    const char* name;
    const char* program;
    QStringList arguments;
    // The start of the help on stdout.
    const char* help;
};

class HelpTest : public ::testing::TestWithParam<HelpCase> {};

TEST_P(HelpTest, PrintsTheCommandsHelpWithoutADisplayAndExitsWith0) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("QT_QPA_PLATFORM");
    const ProgramResult result = RunProgram(GetParam().program, GetParam().arguments, environment);

    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_THAT(result.standardOutput.toStdString(), ::testing::StartsWith(GetParam().help));
    EXPECT_TRUE(result.standardError.isEmpty()) << result.standardError.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Commands, HelpTest,
    ::testing::Values(
        HelpCase{"Updater", VELKOR_BINARY, {"--help"},
                 "usage: velkor [--device DIR | --target FILE]\n       velkor --help | --version\n\n"
                 "Runs the device image updater full screen on one device:\n"},
        HelpCase{"EveryCommand", VELKOR_DEVICE_BINARY, {"--help"}, kEveryUsage},
        HelpCase{"Init", VELKOR_DEVICE_BINARY, {"init", "--help"},
                 "usage: velkor-device init DIR [--auto] [--screen WxH] [--language ID]\n\n"
                 "makes a new device in DIR, which must be absent or empty:\n"},
        HelpCase{"Show", VELKOR_DEVICE_BINARY, {"show", "-h"},
                 "usage: velkor-device show DIR\n\nprints the device in DIR at a glance"},
        HelpCase{"CheckTarget", VELKOR_DEVICE_BINARY, {"check-target", "--help"},
                 "usage: velkor-device check-target FILE\n\nprints what the target file FILE reaches"},
        HelpCase{"CardEvenAfterABadOption", VELKOR_DEVICE_BINARY, {"card", "--fast", "--help"},
                 "usage: velkor-device card OUT [--auto | --manual]"},
        HelpCase{"DryRun", VELKOR_DEVICE_BINARY, {"dry-run", "--help"},
                 "usage: velkor-device dry-run CARD --device DIR\n\nruns the update that the card CARD"},
        HelpCase{"HelpWithACommand", VELKOR_DEVICE_BINARY, {"help", "card"},
                 "usage: velkor-device card OUT [--auto | --manual]"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor::test
