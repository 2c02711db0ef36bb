#include "backend/shared/DeviceError.h"
#include "platform/ErrorCodes.h"
#include "backend/sim/SimPlatform.h"
#include "support/LogTexts.h"
#include "backend/sim/TempDevice.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>

namespace velkor::sim {
namespace {

namespace fs = std::filesystem;
namespace error = platform::error;
using test::TempDevice;
using ::testing::HasSubstr;
using velkor::test::LogTexts;

struct DebugCase {
    const char* name;
    std::u16string printed;
    std::string logged;
};

class DebugPrintTest : public ::testing::TestWithParam<DebugCase> {};

TEST_P(DebugPrintTest, WritesOneLineToTheLogAndEchoesIt) {
    const DebugCase& c = GetParam();
    TempDevice temp;
    SimPlatform device(temp.Dir());

    ::testing::internal::CaptureStderr();
    device.platform().system.DebugPrint(c.printed);
    const std::string echo = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(LogTexts(temp.Read("debug.log")), std::vector<std::string>{c.logged});
    EXPECT_EQ(echo, "velkor debug: " + c.logged + "\n");
}

INSTANTIATE_TEST_SUITE_P(Texts, DebugPrintTest,
                         ::testing::Values(DebugCase{"LineFeedEnds", u"CreateFile fail =2\n", "CreateFile fail =2"},
                                           DebugCase{"NoLineFeed", u"partial", "partial"},
                                           DebugCase{"OnlyOneLineFeedRemoved", u"two\n\n", "two\\n"},
                                           DebugCase{"InnerBreaksEscaped", u"a\r\nb\n", "a\\r\\nb"},
                                           DebugCase{"CarriageReturnAtEnd", u"a\r\n", "a\\r"},
                                           DebugCase{"Utf8", u"\u5347\u7EA7\n", "\xE5\x8D\x87\xE7\xBA\xA7"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SimSystemTest, RecordsEventsAndRunsTheRestartHook) {
    TempDevice temp;
    int restarts = 0;
    SimPlatform device(temp.Dir(), [&] { ++restarts; });

    EXPECT_TRUE(device.platform().system.SetThreadPriority(251));
    EXPECT_TRUE(device.platform().system.RequestRestart());
    EXPECT_EQ(restarts, 1);
    EXPECT_EQ(LogTexts(temp.Read("events.log")),
              (std::vector<std::string>{"thread-priority 251", "restart IOCTL_HAL_REBOOT"}));
}

TEST(SimSystemTest, AFailingRestartIsLoggedAndLeavesTheProgramRunning) {
    TempDevice temp("", R"({"restartFails": true})");
    int restarts = 0;
    SimPlatform device(temp.Dir(), [&] { ++restarts; });

    EXPECT_FALSE(device.platform().system.RequestRestart());
    EXPECT_EQ(device.platform().system.GetLastError(), error::kNotSupported);
    EXPECT_EQ(restarts, 0);
    EXPECT_EQ(LogTexts(temp.Read("events.log")), std::vector<std::string>{"restart IOCTL_HAL_REBOOT"});
}

TEST(SimSystemTest, LogsAreAppendedAcrossRuns) {
    TempDevice temp;
    SimPlatform(temp.Dir()).platform().system.SetThreadPriority(1);
    SimPlatform(temp.Dir()).platform().system.RequestRestart();

    EXPECT_EQ(LogTexts(temp.Read("events.log")),
              (std::vector<std::string>{"thread-priority 1", "restart IOCTL_HAL_REBOOT"}));
}

// A log swapped for a link or a FIFO after the device opened gets no lines: nothing outside the
// device is written, and the program does not wait on a reader that never comes.
TEST(SimSystemTest, ALogThatIsNoLongerAPlainFileGetsNoLines) {
    for (const bool fifo : {false, true}) {
        SCOPED_TRACE(fifo ? "FIFO" : "link");
        TempDevice temp;
        temp.Write("outside.txt", "kept");
        SimPlatform sim(temp.Dir());
        if (fifo) {
            ASSERT_EQ(::mkfifo((temp.Dir() / "events.log").c_str(), 0600), 0);
        } else {
            fs::create_symlink(temp.Dir() / "outside.txt", temp.Dir() / "events.log");
        }
        sim.platform().system.SetThreadPriority(1);
        EXPECT_EQ(temp.Read("outside.txt"), "kept");
    }
}

TEST(SimSystemTest, ReadingTheDeviceCreatesNoLogsAndKeepsTheRegistryFile) {
    const std::string registryText = "[HKEY_LOCAL_MACHINE\\A]\n";
    TempDevice temp(registryText);
    temp.Write("root/a.txt", "a");
    SimPlatform device(temp.Dir());
    platform::Registry::Handle key = 0;

    device.platform().registry.CreateKey(u"Created\\AtRunTime", key);
    device.platform().fileSystem.OpenFile(u"\\a.txt", platform::FileMode::Read);
    device.platform().fileSystem.GetAttributes(u"\\none");

    EXPECT_FALSE(fs::exists(temp.Dir() / "debug.log"));
    EXPECT_FALSE(fs::exists(temp.Dir() / "events.log"));
    EXPECT_EQ(temp.Read("platform.reg"), registryText);
}

TEST(SimSystemTest, TheLastErrorIsSharedByAllServices) {
    TempDevice temp("[HKEY_LOCAL_MACHINE\\A]\n");
    SimPlatform device(temp.Dir());
    platform::Platform& platform = device.platform();
    platform::Registry::Handle key = 0;
    std::u16string value;
    platform.registry.CreateKey(u"A", key);

    platform.registry.QueryString(key, u"Missing", 100, value);
    EXPECT_EQ(platform.system.GetLastError(), error::kFileNotFound);
    platform.fileSystem.GetAttributes(u"\\Nowhere\\x");
    EXPECT_EQ(platform.system.GetLastError(), error::kPathNotFound);
}

struct UnusableDeviceCase {
    const char* name;
    std::function<void(const TempDevice&)> spoil;
    const char* complaint;
};

class UnusableDeviceTest : public ::testing::TestWithParam<UnusableDeviceCase> {};

TEST_P(UnusableDeviceTest, SaysWhatIsWrong) {
    TempDevice temp;
    GetParam().spoil(temp);
    try {
        SimPlatform device(temp.Dir());
        FAIL() << "opened";
    } catch (const shared::DeviceError& failure) {
        EXPECT_THAT(failure.what(), HasSubstr(GetParam().complaint));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Devices, UnusableDeviceTest,
    ::testing::Values(
        UnusableDeviceCase{"NoDirectory", [](const TempDevice& t) { fs::remove_all(t.Dir()); }, "no such directory"},
        UnusableDeviceCase{"NoConfig", [](const TempDevice& t) { fs::remove(t.Dir() / "device.json"); }, "device.json"},
        UnusableDeviceCase{"BadConfig", [](const TempDevice& t) { t.Write("device.json", "{}"); }, "\"screen\""},
        UnusableDeviceCase{"NoRegistry", [](const TempDevice& t) { fs::remove(t.Dir() / "platform.reg"); },
                           "platform.reg"},
        UnusableDeviceCase{"BadRegistry", [](const TempDevice& t) { t.Write("platform.reg", "\n\nnonsense\n"); },
                           "platform.reg:3:"},
        UnusableDeviceCase{"NoRoot", [](const TempDevice& t) { fs::remove_all(t.Root()); }, "root"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor::sim
