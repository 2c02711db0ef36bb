#include "support/LogTexts.h"
#include "support/ProgramRun.h"
#include "backend/board/windows/XcbConnection.h"
#include "backend/board/windows/XcbWindows.h"
#include "support/WindowsProbe.h"
#include "contract/XClientScene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace velkor::board {
namespace {

using platform::WindowHandle;
using Lines = std::vector<std::string>;

constexpr WindowHandle kNoWindow = 0x7FFFFFFF;
constexpr int kClientWaitMs = 5000;

// Started in this order, so bottom-most first.
const std::vector<test::ClientPlan> kScene{
    {.name = "own-hidden", .program = "plain", .ours = true, .mapped = false},
    {.name = "pavlor", .program = "pavlor", .framed = true},
    {.name = "tirnow-owned", .program = "tirnow", .transientFor = "pavlor"},
    {.name = "tirnow-hidden", .program = "tirnow", .mapped = false, .framed = true},
    {.name = "tirnow", .program = "tirnow", .framed = true},
    {.name = "plain", .program = "plain", .exitOnClose = true},
    {.name = "updater", .program = "plain", .ours = true},
};

// The window manager on a scene, with the probe that calls it; events.log goes to the scene's folder.
class BoardWindows {
public:
    explicit BoardWindows(const test::XClientScene& scene)
        : scene_(scene),
          events_(scene.Folder() / "events.log"),
          windows(scene.Programs(), errors_, events_),
          probe(windows, errors_,
                {[&](WindowHandle window) { return scene_.WindowText(window); },
                 [&](std::string text) { return scene_.Named(std::move(text)); }}) {}

    Lines Events() const {
        Lines lines = test::LogTexts(test::ReadHostFile(scene_.Folder() / "events.log"));
        std::transform(lines.begin(), lines.end(), lines.begin(),
                       [&](const std::string& line) { return scene_.Named(line); });
        return lines;
    }

private:
    const test::XClientScene& scene_;
    shared::ErrorState errors_;
    shared::EventLog events_;

public:
    XcbWindows windows;
    test::WindowsProbe probe;
};

struct WindowsCase {
    const char* name;
    std::function<Lines(const test::XClientScene&, BoardWindows&)> calls;
    Lines answers;
    Lines events;
};

void PrintTo(const WindowsCase& c, std::ostream* os) { *os << c.name; }

class XcbWindowsTest : public ::testing::TestWithParam<WindowsCase> {};

TEST_P(XcbWindowsTest, AnswersAndLogs) {
    if (!XcbConnection().IsOpen()) {
        GTEST_SKIP() << "no X display (DISPLAY unset or its server not answering)";
    }
    const WindowsCase& c = GetParam();
    const test::XClientScene scene(kScene);
    for (const test::ClientPlan& plan : kScene) {
        ASSERT_NE(scene.Window(plan.name), 0U) << plan.name << " did not start";
    }
    BoardWindows board(scene);

    EXPECT_EQ(c.calls(scene, board), c.answers);
    EXPECT_EQ(board.Events(), c.events);
}

INSTANTIATE_TEST_SUITE_P(
    OnADisplay, XcbWindowsTest,
    ::testing::Values(
        WindowsCase{"MainWindowIsTheTopmostOfOurOwnUntilOneIsGiven",
                    [](const test::XClientScene& s, BoardWindows& b) {
                        const std::string before = b.probe.Main();
                        b.windows.SetMainWindow(s.Window("tirnow"));
                        return Lines{before, b.probe.Main()};
                    },
                    {"updater", "tirnow"},
                    {}},
        WindowsCase{"CommandClosesTheWindowOfAProgramThatRunsOn",
                    [](const test::XClientScene& s, BoardWindows& b) {
                        return Lines{b.probe.Command(s.Window("tirnow"), 2), s.ClosedNote("tirnow"), b.probe.Walk(),
                                     b.probe.Command(s.Window("tirnow"), 1), s.Client("tirnow").State(0)};
                    },
                    {"0", "closed\n", "own-hidden pavlor tirnow-owned tirnow-hidden plain updater", "0 error 1400",
                     "running"},
                    {R"(window-command \Windows\Tirnow.exe <tirnow> 2)"}},
        WindowsCase{"CommandToAProgramOutsideTheTargetNamesItsHostPath",
                    [](const test::XClientScene& s, BoardWindows& b) {
                        return Lines{b.probe.Command(s.Window("plain"), 1), s.ClosedNote("plain"),
                                     s.Client("plain").State(kClientWaitMs)};
                    },
                    {"0", "closed\n", "exited 0"},
                    {"window-command $TMP/bin/plain <plain> 1"}},
        WindowsCase{"TerminationOfAnEndedProcessFails",
                    [](const test::XClientScene& s, BoardWindows& b) {
                        return Lines{b.probe.Open(s.Pid("pavlor")), s.Client("pavlor").Kill(), b.probe.Terminate(4)};
                    },
                    {"handle", "killed", "0 error 5"},
                    {R"(terminate-process \Windows\Pavlor.exe <pavlor> exit=4 -> 0 error 5)"}}),
    [](const ::testing::TestParamInfo<WindowsCase>& info) { return std::string(info.param.name); });

// No display for the life of the object.
class DisplayUnset {
public:
    DisplayUnset() : saved_(std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "") { ::unsetenv("DISPLAY"); }
    ~DisplayUnset() {
        if (!saved_.empty()) {
            ::setenv("DISPLAY", saved_.c_str(), 1);
        }
    }

private:
    std::string saved_;
};

TEST(XcbWindowsWithoutDisplay, HasNoWindowsButStillKnowsProcesses) {
    const DisplayUnset unset;
    const test::XClientScene scene({});
    BoardWindows board(scene);
    test::WindowsProbe& probe = board.probe;

    EXPECT_EQ((Lines{probe.Main(), probe.Walk(), probe.Find(u"\\Windows\\Tirnow.exe"), probe.Visible(kNoWindow),
                     probe.Command(kNoWindow, 2), probe.Module(0, 1)}),
              (Lines{"0", "", "0 0 error 1400", "0 error 1400", "0 error 1400", " error 122"}));
    EXPECT_EQ(board.Events(), Lines{});
}

}  // namespace
}  // namespace velkor::board
