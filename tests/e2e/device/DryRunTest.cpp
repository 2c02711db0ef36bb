#include "support/ProgramRun.h"
#include "support/SettingsBytes.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <nlohmann/json.hpp>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <regex>
#include <string>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ContainsRegex;
using ::testing::IsEmpty;

ProgramResult DeviceTool(const QStringList& arguments) {
    return RunProgram(QStringLiteral(VELKOR_DEVICE_BINARY), arguments);
}

QString Arg(const fs::path& path) { return QString::fromStdString(path.string()); }

// A temporary folder with a device in "device", and the card a case puts in "card".
class DryRunFolder {
public:
    fs::path Dir() const { return temporary_.path().toStdString(); }
    fs::path Device() const { return Dir() / "device"; }
    fs::path Card() const { return Dir() / "card"; }
    fs::path Images() const { return Dir() / "source/root/StorageCard/Images"; }

    void Init(const fs::path& device, const QStringList& options = {}) const {
        const ProgramResult init = DeviceTool(QStringList{"init", Arg(device)} + options);
        ASSERT_EQ(init.exitCode, 0) << init.standardError.toStdString();
    }
    // A card of the sample images of an 800x480 device, one for each option given: {"--os", "--logo2"}.
    void MakeCard(const QStringList& rows, const QStringList& options = {}) const {
        Init(Dir() / "source");
        QStringList arguments{"card", Arg(Card())};
        for (const QString& row : rows) {
            arguments << row << Arg(Images() / kSampleNames.at(row.toStdString()));
        }
        const ProgramResult card = DeviceTool(arguments + options);
        ASSERT_EQ(card.exitCode, 0) << card.standardError.toStdString();
    }
    // Replaces the device's registry so that its storage card is the folder "Storage Card".
    void MoveStorageCard() const {
        const fs::path registry = Device() / "platform.reg";
        WriteHostFile(registry,
                      std::regex_replace(ReadHostFile(registry), std::regex("\"StorageCard\""), "\"Storage Card\""));
        fs::rename(Device() / "root/StorageCard", Device() / "root/Storage Card");
    }
    void SetFaults(const std::string& faults) const {
        const fs::path path = Device() / "device.json";
        nlohmann::json config = nlohmann::json::parse(ReadHostFile(path));
        config["faults"] = nlohmann::json::parse(faults);
        WriteHostFile(path, config.dump());
    }
    // `text` with each "{dir}" replaced by the temporary folder.
    std::string InDir(const std::string& text) const {
        return std::regex_replace(text, std::regex("\\{dir\\}"), Dir().string());
    }

private:
    inline static const std::map<std::string, std::string> kSampleNames{{"--os", "NK.bin"},
                                                                        {"--logo", "Logo1.bmp"},
                                                                        {"--logo2", "logo2.bmp"},
                                                                        {"--boot", "Eboot.nb0"},
                                                                        {"--app", "NAPP.bin"}};
    QTemporaryDir temporary_;
};

struct DryRunCase {
    const char* name;
    // Makes the device and the card of the case.
    void (*prepare)(const DryRunFolder& folder);
    int exitCode;
    // Regular expressions the report must hold, "{dir}" standing for the temporary folder.
    std::vector<std::string> report;
    // The same, on stderr.
    std::vector<std::string> problems;
    // The card given to the dry run, below the temporary folder.
    fs::path card = "card";
};

class DryRunTest : public ::testing::TestWithParam<DryRunCase> {};

TEST_P(DryRunTest, ReportsWhatTheRunWouldDoAndLeavesTheDeviceAlone) {
    const DryRunFolder folder;
    GetParam().prepare(folder);
    const std::string before = ReadHostFile(folder.Device() / "device.json");

    const ProgramResult run =
        DeviceTool({"dry-run", Arg(folder.Dir() / GetParam().card), "--device", Arg(folder.Device())});
    const std::string report = run.standardOutput.toStdString();
    const std::string problems = run.standardError.toStdString();
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << report << problems;
    for (const std::string& line : GetParam().report) {
        EXPECT_THAT(report, ContainsRegex(folder.InDir(line)));
    }
    for (const std::string& line : GetParam().problems) {
        EXPECT_THAT(problems, ContainsRegex(folder.InDir(line)));
    }
    EXPECT_FALSE(fs::exists(folder.Device() / "events.log")) << "the device itself was updated";
    EXPECT_FALSE(fs::exists(folder.Device() / "flash/os.bin")) << "the device itself was updated";
    EXPECT_EQ(ReadHostFile(folder.Device() / "device.json"), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cards, DryRunTest,
    ::testing::Values(
        DryRunCase{"EveryRowSucceedsStageByStageInTheOrderTheyRun",
                   [](const DryRunFolder& folder) {
                       folder.MakeCard({"--os", "--logo", "--logo2", "--boot", "--app"});
                       folder.Init(folder.Device());
                   },
                   0,
                   {"Stopping the sibling programs:\n +window-command .*Tirnow.exe 101 2\n.*"
                    "terminate-process .*Pavlor.exe 102 exit=4 -> 1\n"
                    "  Formatting the data volume, which erases everything on it:\n.*Format succeed\n.*"
                    "format DSK2: Part00 .* -> 0\n.*"
                    "  Logo   Succeed \\[[0-9]+ s\\]\n.*  Logo2  Succeed.*  Boot   Succeed.*  Reset  Succeed.*"
                    "  OS     Succeed.*  App    Succeed",
                    "device-control .VKRFlash.Vol: 0x800020DC \".StorageCard.AutoUpdate.NK.bin\" 0 -> 1"},
                   {}},
        DryRunCase{"SecondLogoOfAnotherScreenFails",
                   [](const DryRunFolder& folder) {
                       folder.MakeCard({"--os", "--logo2"});
                       folder.Init(folder.Device(), {"--screen", "640x480"});
                   },
                   1,
                   {"  Warning: .StorageCard.AutoUpdate.logo2.bmp is 800x480 but the screen is 640x480",
                    "Logo2  Failed\n +the second logo is 800 x 480, the screen 640 x 480", "OS     Succeed"},
                   {"would leave a row of the device not updated"}},
        DryRunCase{
            "LeftoversOfAnEarlierCardAreNamedAndRun",
            [](const DryRunFolder& folder) {
                folder.MakeCard({"--os"});
                folder.Init(folder.Device(), {"--auto"});
            },
            0,
            {"  Warning: .StorageCard.AutoUpdate.Eboot.nb0 is not on the card, but an earlier card left it "
             "on the device's storage card, and the Boot row writes it",
             "  Warning: .StorageCard.AutoUpdate.NAPP.bin is not on the card", "  Boot   Succeed", "  App    Succeed"},
            {}},
        // A second spelling beside a listed image: the device refuses the card before anything happens.
        DryRunCase{"ASecondSpellingOfAListedImageIsRefused",
                   [](const DryRunFolder& folder) {
                       folder.MakeCard({"--os", "--logo2"});
                       WriteHostFile(folder.Card() / "AutoUpdate/LOGO2.BMP", "other bytes");
                       folder.Init(folder.Device());
                   },
                   1,
                   {"  Card refused \\(image-ambiguous\\): the device would change nothing\n"},
                   {}},
        // The card's manifest no longer matches it, so the device refuses it before anything happens.
        DryRunCase{"AnImageEmptiedAfterTheCardWasMadeIsWarnedOf",
                   [](const DryRunFolder& folder) {
                       folder.MakeCard({"--os"});
                       WriteHostFile(folder.Card() / "AutoUpdate/NK.bin", "");
                       folder.Init(folder.Device());
                   },
                   1,
                   {"  Warning: .StorageCard.AutoUpdate.NK.bin is empty: the OS row would write nothing into the os "
                    "region",
                    "  Card refused \\(image-changed\\): the device would change nothing\n"},
                   {}},
        DryRunCase{
            "FlashErrorsAreGivenInDecimalToo",
            [](const DryRunFolder& folder) {
                folder.MakeCard({"--os"});
                folder.Init(folder.Device());
                folder.SetFaults(R"({"flashRefusedCodes": ["0x800020DC"]})");
            },
            1,
            {"  OS     Failed\n +Deviceiocontrol error =32 \\(hex: error 50\\)\n +device-control .* -> 0 error 50\n"},
            {}},
        DryRunCase{"AutoCardOnADeviceWhoseCardIsElsewhere",
                   [](const DryRunFolder& folder) {
                       folder.Init(folder.Device());
                       folder.MoveStorageCard();
                       folder.MakeCard({"--os"}, {"--device", Arg(folder.Device())});
                   },
                   0,
                   {"  OS     Succeed.*\n +device-control .* \".Storage Card.AutoUpdate.NK.bin\" 0 -> 1"},
                   {}},
        DryRunCase{"TheDevicesOwnStorageCardChoosesNoRow",
                   [](const DryRunFolder& folder) { folder.Init(folder.Device()); },
                   1,
                   {},
                   {"^velkor-device: this card chooses no row:\n  {dir}/device/root/StorageCard has no AutoUpdate "
                    "folder\n  {dir}/device/root/StorageCard has no updater.cfg, where the updater reads its settings "
                    "file\n$"},
                   "device/root/StorageCard"},
        DryRunCase{"ACardOneFolderTooDeepChoosesNoRow",
                   [](const DryRunFolder& folder) {
                       folder.MakeCard({"--os"});
                       fs::rename(folder.Card(), folder.Dir() / "inner");
                       fs::create_directory(folder.Card());
                       fs::rename(folder.Dir() / "inner", folder.Card() / "inner");
                       folder.Init(folder.Device());
                   },
                   1,
                   {},
                   {"  {dir}/card/inner holds a card one folder down: copy what it holds instead\n"}},
        DryRunCase{"AnAutoUpdateFolderWithoutTheNamesChoosesNoRow",
                   [](const DryRunFolder& folder) {
                       WriteHostFile(folder.Card() / "AutoUpdate/nk.img", "os");
                       folder.Init(folder.Device());
                   },
                   1,
                   {},
                   {"  {dir}/card/AutoUpdate holds none of the names the updater looks for there \\(NK.bin, "
                    "Logo1.bmp, logo2.bmp, Eboot.nb0, NAPP.bin\\)\n"}},
        DryRunCase{"ASettingsFileThatTicksNothingChoosesNoRow",
                   [](const DryRunFolder& folder) {
                       WriteHostFile(folder.Card() / "updater.cfg",
                                     SettingsFileBytes(std::vector<std::u16string>(11, u"0")));
                       folder.Init(folder.Device());
                   },
                   1,
                   {},
                   {"  {dir}/card/updater.cfg ticks no row\n"}},
        DryRunCase{"ASettingsFileTooShortChoosesNoRow",
                   [](const DryRunFolder& folder) {
                       WriteHostFile(folder.Card() / "UPDATER.CFG", SettingsFileBytes({u"1", u"\\x", u"1"}));
                       folder.Init(folder.Device());
                   },
                   1,
                   {},
                   {"  {dir}/card/updater.cfg holds 3 entries; the updater applies it only with 11\n"}},
        DryRunCase{"ASettingsFileTheUpdaterDoesNotReadOnThatDeviceChoosesNoRow",
                   [](const DryRunFolder& folder) {
                       folder.MakeCard({"--os"}, {"--manual"});
                       folder.Init(folder.Device());
                       folder.MoveStorageCard();
                   },
                   1,
                   {},
                   {"  the updater reads its settings file only from .StorageCard.updater.cfg, which is not on this "
                    "device's storage card .Storage Card\n"}},
        DryRunCase{"AnEmptyCardOnADeviceWithAnEarlierCardSaysWhatWouldRunInstead",
                   [](const DryRunFolder& folder) {
                       fs::create_directory(folder.Card());
                       folder.Init(folder.Device(), {"--auto"});
                   },
                   1,
                   {},
                   {"  the device's storage card .StorageCard still holds an earlier card, which an update would "
                    "run instead\n"}},
        DryRunCase{"ADeviceTheUpdaterRefusesIsRefusedUnderItsOwnName",
                   [](const DryRunFolder& folder) {
                       folder.MakeCard({"--os"});
                       folder.Init(folder.Device());
                       fs::create_directory(folder.Dir() / "elsewhere");
                       fs::create_directory_symlink(folder.Dir() / "elsewhere", folder.Device() / "flash");
                   },
                   1,
                   {},
                   {"^velkor-device: \"{dir}/device/flash\" is a link"}},
        DryRunCase{"ACardHoldingALinkIsRefused",
                   [](const DryRunFolder& folder) {
                       folder.MakeCard({"--os"});
                       fs::create_symlink("/etc/passwd", folder.Card() / "AutoUpdate/NAPP.bin");
                       folder.Init(folder.Device());
                   },
                   1,
                   {},
                   {"^velkor-device: {dir}/card/AutoUpdate/NAPP.bin is neither a plain file nor a folder: a storage "
                    "card holds only those\n"}}),
    [](const ::testing::TestParamInfo<DryRunCase>& info) { return std::string(info.param.name); });

// Waits until `folder` holds something; false when nothing came within the time.
bool AwaitEntry(const fs::path& folder) {
    const QDeadlineTimer deadline(20000);
    for (; !deadline.hasExpired(); QThread::msleep(5)) {
        std::error_code failure;
        if (!fs::is_empty(folder, failure) && !failure) {
            return true;
        }
    }
    return false;
}

TEST(DryRunInterrupted, LeavesNothingInTheTemporaryFolder) {
    const DryRunFolder folder;
    folder.MakeCard({"--os", "--app"});
    folder.Init(folder.Device());
    const fs::path temporary = folder.Dir() / "tmp";
    fs::create_directory(temporary);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", Arg(temporary));
    QProcess run;
    run.setProcessEnvironment(environment);
    run.start(VELKOR_DEVICE_BINARY, {"dry-run", Arg(folder.Card()), "--device", Arg(folder.Device())});

    // The update pauses 300 ms before its format, so the run is still going when its scratch folder shows.
    ASSERT_TRUE(AwaitEntry(temporary));
    ::kill(static_cast<pid_t>(run.processId()), SIGTERM);
    ASSERT_TRUE(run.waitForFinished(20000));

    EXPECT_EQ(run.exitStatus(), QProcess::CrashExit) << "not ended by the signal";
    EXPECT_THAT(run.readAllStandardError().toStdString(), ContainsRegex("interrupted; nothing it made is left"));
    EXPECT_TRUE(fs::is_empty(temporary)) << fs::directory_iterator(temporary)->path();
}

}  // namespace
}  // namespace velkor::test
