#include "e2e/UpdaterSession.h"
#include "support/ProgramRun.h"
#include "support/SettingsBytes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace velkor::test {
namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(StartUpEndToEnd, AutoUpdateImagesAreChosenAndSavedOnRestart) {
    UpdaterSession session({"--auto"});
    WriteHostFile(session.Card() / "updater.cfg", SettingsFileBytes({u"0", u"", u"0", u"", u"0", u"", u"0", u"", u"0",
                                                                     u"", u"0"}));
    ASSERT_TRUE(session.Start());
    // The update runs by itself; after a written OS image only Restart leaves, from Update back.
    ASSERT_TRUE(session.WaitForWindow(kMessageBoxTitle, 60));
    ASSERT_TRUE(session.PressKeys({"Return", "shift+Tab", "space"}));
    ASSERT_EQ(session.WaitForExit(), 0);
    EXPECT_EQ(ReadHostFile(session.Card() / "updater.cfg"),
              SettingsFileBytes({u"1", u"\\StorageCard\\AutoUpdate\\NK.bin", u"1", u"\\StorageCard\\AutoUpdate\\Logo1.bmp",
                                 u"1", u"\\StorageCard\\AutoUpdate\\logo2.bmp", u"1",
                                 u"\\StorageCard\\AutoUpdate\\Eboot.nb0", u"1", u"\\StorageCard\\AutoUpdate\\NAPP.bin",
                                 u"1"}));
}

TEST(StartUpEndToEnd, RestartSavesTheSettingsThenRestartsTheDevice) {
    UpdaterSession session;
    ASSERT_TRUE(session.Start());
    ASSERT_TRUE(session.PressKeys(QStringList{"space"} + kClickRestart));  // ticks OS, then Restart
    ASSERT_EQ(session.WaitForExit(), 0);
    EXPECT_EQ(ReadHostFile(session.Card() / "updater.cfg"),
              SettingsFileBytes({u"1", u"", u"0", u"", u"0", u"", u"0", u"", u"0", u"", u"0"}));
    const std::string events = ReadHostFile(session.Device() / "events.log");
    EXPECT_TRUE(Contains(events, " thread-priority 250\n")) << events;
    EXPECT_TRUE(Contains(events, " restart IOCTL_HAL_REBOOT\n")) << events;
}

TEST(StartUpEndToEnd, EscapeEndsWithoutRestartOrSettingsFile) {
    UpdaterSession session;
    ASSERT_TRUE(session.Start());
    ASSERT_TRUE(session.PressKeys({"Escape"}));
    ASSERT_EQ(session.WaitForExit(), 0);
    EXPECT_FALSE(std::filesystem::exists(session.Card() / "updater.cfg"));
    EXPECT_FALSE(Contains(ReadHostFile(session.Device() / "events.log"), "restart"));
}

TEST(StartUpEndToEnd, WithoutADeviceCreatesTheDefaultDeviceInTheUsersDataDirectory) {
    UpdaterSession session;
    QTemporaryDir dataHome;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("VELKOR_DEVICE"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome.path());
    ASSERT_TRUE(session.Start({}, environment));
    ASSERT_TRUE(session.PressKeys(kClickExit));
    ASSERT_EQ(session.WaitForExit(), 0);
    const std::filesystem::path device = dataHome.filePath(QStringLiteral("velkor/device")).toStdString();
    EXPECT_TRUE(std::filesystem::exists(device / "device.json"));
    EXPECT_EQ(ReadHostFile(device / "root" / "StorageCard" / "updater.cfg").size(), 188u);
}

TEST(StartUpEndToEnd, TheEnvironmentNamesTheDevice) {
    UpdaterSession session;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VELKOR_DEVICE"), QString::fromStdString(session.Device().string()));
    ASSERT_TRUE(session.Start({}, environment));
    ASSERT_TRUE(session.PressKeys(kClickExit));
    ASSERT_EQ(session.WaitForExit(), 0);
    EXPECT_EQ(ReadHostFile(session.Card() / "updater.cfg").size(), 188u);
}

struct CommandLineCase {
    const char* name;
    QStringList arguments;
    int exitCode;
    const char* message;
};

class CommandLineTest : public testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, RefusesWhatItCannotRunOn) {
    const ProgramResult result = RunProgram(QStringLiteral(VELKOR_BINARY), GetParam().arguments);
    EXPECT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, GetParam().exitCode);
    EXPECT_TRUE(Contains(result.standardError.toStdString(), GetParam().message)) << result.standardError.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Arguments, CommandLineTest,
                         testing::Values(CommandLineCase{"UnknownOption", {"--frobnicate"}, 2, "usage: velkor"},
                                         CommandLineCase{"StrayArgument", {"extra"}, 2, "usage: velkor"},
                                         CommandLineCase{"NotADevice", {"--device", "/nonexistent/velkor"}, 1,
                                                         "velkor: "},
                                         CommandLineCase{"TwoDevices",
                                                         {"--device", "/tmp", "--target", "/tmp/target.json"}, 2,
                                                         "give one"},
                                         CommandLineCase{"NoTargetFile", {"--target", "/nonexistent/target.json"}, 1,
                                                         "cannot read the target file"}),
                         [](const testing::TestParamInfo<CommandLineCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::test
