#include "platform/DeviceText.h"
#include "backend/sim/DeviceConfig.h"
#include "backend/sim/DeviceInit.h"
#include "backend/sim/SimPlatform.h"
#include "backend/sim/windows/SimWindows.h"
#include "support/LogTexts.h"
#include "support/ProgramRun.h"
#include "support/WindowsProbe.h"
#include "backend/sim/TempDevice.h"
#include "update/ProgramStopper.h"

#include <QTemporaryDir>

#include <fmt/format.h>
#include <fmt/ranges.h>
#include <gtest/gtest.h>

#include <functional>

namespace velkor::sim {
namespace {

namespace fs = std::filesystem;
using platform::WindowHandle;
using platform::WindowRelation;
using velkor::test::LogTexts;
using velkor::test::ReadHostFile;
using Lines = std::vector<std::string>;

// Handles: the updater's main window 1 on top, then Tirnow's 2, 3 (hidden), 4 (owned) and
// Pavlor's 5, 6; Quelt has no window.
constexpr std::string_view kPrograms = R"("programs": [
    {"processId": 101, "executable": "\\Windows\\Tirnow.exe", "windows": [{}, {"visible": false}, {"owned": true}]},
    {"processId": 102, "executable": "\\Windows\\Pavlor.exe", "windows": [{}, {}], "onCommand": "close"},
    {"processId": 103, "executable": "\\Windows\\Quelt.exe"}])";
constexpr std::string_view kEveryWindow = "6 5 4 3 2 1";

// The window manager of a device with these programs and faults, and the probe that calls it;
// windows are named by their handles.
class SimScene {
public:
    explicit SimScene(std::string_view faultsJson)
        : config_(ParseDeviceConfig(fmt::format(R"({{"screen": {{"width": 800, "height": 480}}, "languageId": 1033,
                                                     {}, "faults": {}}})",
                                                kPrograms, faultsJson),
                                    "device.json")),
          events_(EventsLog()),
          windows_(config_, errors_, events_),
          probe(windows_, errors_,
                {[](WindowHandle window) { return fmt::format("{}", window); }, [](std::string text) { return text; }}) {}

    Lines Events() const { return LogTexts(ReadHostFile(EventsLog())); }

private:
    fs::path EventsLog() const { return fs::path(temporary_.path().toStdString()) / "events.log"; }

    QTemporaryDir temporary_;
    DeviceConfig config_;
    shared::ErrorState errors_;
    shared::EventLog events_;
    SimWindows windows_;

public:
    velkor::test::WindowsProbe probe;
};

struct WindowsCase {
    const char* name;
    const char* faults;
    std::function<Lines(velkor::test::WindowsProbe&)> calls;
    Lines answers;
    Lines events;
};

class SimWindowsTest : public ::testing::TestWithParam<WindowsCase> {};

TEST_P(SimWindowsTest, AnswersAndLogs) {
    const WindowsCase& c = GetParam();
    SimScene scene(c.faults);

    EXPECT_EQ(c.calls(scene.probe), c.answers);
    EXPECT_EQ(scene.Events(), c.events);
}

constexpr WindowRelation kLast = WindowRelation::Last;
constexpr WindowRelation kPrevious = WindowRelation::Previous;
constexpr WindowRelation kOwner = WindowRelation::Owner;
const std::string kTirnowCommand = R"(window-command \Windows\Tirnow.exe 101 )";
const std::string kPavlorCommand = R"(window-command \Windows\Pavlor.exe 102 )";
const std::string kTirnowTerminated = R"(terminate-process \Windows\Tirnow.exe 101 exit=4 -> )";
const std::string kPavlorTerminated = R"(terminate-process \Windows\Pavlor.exe 102 exit=4 -> )";

INSTANTIATE_TEST_SUITE_P(
    Calls, SimWindowsTest,
    ::testing::Values(
        WindowsCase{"ProcessIdsAndModules", "{}",
                    [](velkor::test::WindowsProbe& p) {
                        return Lines{p.ProcessId(1), p.ProcessId(4), p.ProcessId(6), p.Module(0),
                                     p.Module(100), p.Module(101), p.Module(103), p.Module(104)};
                    },
                    {"100", "101", "102", R"(\Windows\Velkor.exe)", R"(\Windows\Velkor.exe)",
                     R"(\Windows\Tirnow.exe)", R"(\Windows\Quelt.exe)", " error 87"},
                    {}},
        WindowsCase{"IgnoredCommandsAreLogged", "{}",
                    [](velkor::test::WindowsProbe& p) { return Lines{p.Command(2, 2), p.Command(2, 1), p.Walk()}; },
                    {"0", "0", std::string(kEveryWindow)},
                    {kTirnowCommand + "2", kTirnowCommand + "1"}},
        WindowsCase{"CloseTakesDownOnlyTheCommandedWindow", "{}",
                    [](velkor::test::WindowsProbe& p) {
                        return Lines{p.Command(5, 2), p.Walk(), p.Visible(5), p.Command(5, 1), p.Module(102)};
                    },
                    {"0", "6 4 3 2 1", "0 error 1400", "0 error 1400", R"(\Windows\Pavlor.exe)"},
                    {kPavlorCommand + "2"}},
        WindowsCase{"CommandToTheUpdatersOwnWindowIsLoggedOnly", "{}",
                    [](velkor::test::WindowsProbe& p) { return Lines{p.Command(1, 1), p.Walk()}; },
                    {"0", std::string(kEveryWindow)},
                    {R"(window-command \Windows\Velkor.exe 100 1)"}},
        WindowsCase{"OnlyRunningSiblingProgramsOpen", "{}",
                    [](velkor::test::WindowsProbe& p) {
                        return Lines{p.Open(0), p.Open(100), p.Open(104), p.Open(103), p.Close(), p.Walk()};
                    },
                    {"null error 87", "null error 87", "null error 87", "handle", "closed", std::string(kEveryWindow)},
                    {}},
        WindowsCase{"TerminatedProgramIsGoneForTheRun", "{}",
                    [](velkor::test::WindowsProbe& p) {
                        return Lines{p.Open(101), p.Terminate(4), p.Walk(), p.Visible(2), p.Module(101), p.Open(101)};
                    },
                    {"handle", "1", "6 5 1", "0 error 1400", " error 87", "null error 87"},
                    {kTirnowTerminated + "1"}},
        WindowsCase{"SecondTerminationFails", "{}",
                    [](velkor::test::WindowsProbe& p) { return Lines{p.Open(102), p.Terminate(4), p.Terminate(4)}; },
                    {"handle", "1", "0 error 5"},
                    {kPavlorTerminated + "1", kPavlorTerminated + "0 error 5"}},
        WindowsCase{"TerminateFailsForAnExecutableInAnyCase", R"({"terminateFails": ["\\WINDOWS\\tirnow.EXE"]})",
                    [](velkor::test::WindowsProbe& p) {
                        return Lines{p.Open(101), p.Terminate(4), p.Walk(), p.Open(102), p.Terminate(4)};
                    },
                    {"handle", "0 error 5", std::string(kEveryWindow), "handle", "1"},
                    {kTirnowTerminated + "0 error 5", kPavlorTerminated + "1"}},
        WindowsCase{"TerminateFailsForAProcessId", R"({"terminateFails": [102]})",
                    [](velkor::test::WindowsProbe& p) { return Lines{p.Open(101), p.Terminate(4), p.Open(102), p.Terminate(4)}; },
                    {"handle", "1", "handle", "0 error 5"},
                    {kTirnowTerminated + "1", kPavlorTerminated + "0 error 5"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SimWindowsDeviceTest, WithoutProgramsTheUpdatersWindowIsAlone) {
    test::TempDevice temp;
    SimPlatform device(temp.Dir());
    platform::Windows& windows = device.platform().windows;
    const WindowHandle main = windows.MainWindow();

    EXPECT_NE(main, 0U);
    EXPECT_EQ(windows.GetWindow(main, kLast), main);
    EXPECT_EQ(windows.GetWindow(main, kPrevious), 0U);
    EXPECT_EQ(windows.GetWindowProcessId(main), kUpdaterProcessId);
}

TEST(SimWindowsDeviceTest, StoppingInitsProgramsEndsThemForTheRunOnly) {
    QTemporaryDir temporary;
    const fs::path dir = fs::path(temporary.path().toStdString()) / "device";
    InitDevice(dir, DeviceOptions{});
    const std::string config = ReadHostFile(dir / "device.json");
    {
        SimPlatform device(dir);
        platform::Windows& windows = device.platform().windows;
        update::StopRunningPrograms(windows, windows.MainWindow());
        EXPECT_EQ(windows.GetWindow(windows.MainWindow(), kLast), windows.MainWindow());
    }
    SimPlatform again(dir);
    std::uint32_t processId = 0;

    EXPECT_EQ(LogTexts(ReadHostFile(dir / "events.log")),
              (Lines{kTirnowCommand + "2", kTirnowCommand + "1", kTirnowTerminated + "1", kPavlorCommand + "2",
                     kPavlorCommand + "1", kPavlorTerminated + "1"}));
    EXPECT_NE(update::FindProgramWindow(again.platform().windows, again.platform().windows.MainWindow(),
                                        u"\\Windows\\Tirnow.exe", processId),
              0U);
    EXPECT_EQ(processId, 101U);
    EXPECT_EQ(ReadHostFile(dir / "device.json"), config);
}

}  // namespace
}  // namespace velkor::sim
