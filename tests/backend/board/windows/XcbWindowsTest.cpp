#include "platform/DeviceText.h"
#include "support/LogTexts.h"
#include "support/ProgramRun.h"
#include "backend/board/support/ClientProcess.h"
#include "backend/board/windows/XcbConnection.h"
#include "backend/board/windows/XcbWindows.h"
#include "update/ProgramStopper.h"

#include <QTemporaryDir>

#include <fmt/format.h>
#include <fmt/ranges.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <functional>
#include <regex>
#include <thread>

namespace velkor::board {
namespace {

namespace fs = std::filesystem;
using platform::WindowHandle;
using platform::WindowRelation;
using Lines = std::vector<std::string>;

constexpr WindowRelation kLast = WindowRelation::Last;
constexpr WindowRelation kPrevious = WindowRelation::Previous;
constexpr WindowRelation kOwner = WindowRelation::Owner;
constexpr std::uint32_t kNoProcess = 0x7FFFFFFF;
constexpr WindowHandle kNoWindow = 0x7FFFFFFF;
constexpr int kClientWaitMs = 5000;

// One window each; `program` is which copy of the client runs it, and `ours` makes its
// _NET_WM_PID claim the test's own process, as the updater's windows would.
struct ClientPlan {
    std::string name;
    std::string program;
    bool ours = false;
    bool mapped = true;
    // In a frame of its own, as a reparenting window manager puts it.
    bool framed = false;
    std::string transientFor = {};
    bool exitOnClose = false;
};

// Started in this order, so bottom-most first.
const std::vector<ClientPlan> kScene{
    {.name = "own-hidden", .program = "plain", .ours = true, .mapped = false},
    {.name = "pavlor", .program = "pavlor", .framed = true},
    {.name = "tirnow-owned", .program = "tirnow", .transientFor = "pavlor"},
    {.name = "tirnow-hidden", .program = "tirnow", .mapped = false, .framed = true},
    {.name = "tirnow", .program = "tirnow", .framed = true},
    {.name = "plain", .program = "plain", .exitOnClose = true},
    {.name = "updater", .program = "plain", .ours = true},
};
constexpr std::string_view kWholeScene = "own-hidden pavlor tirnow-owned tirnow-hidden tirnow plain updater";

// Clients of a scene on a display of their own, each running a copy of the client under its
// program's name in $TMP/bin. Texts name windows and processes by client ("<tirnow>" for a
// process id), the test's own process "<self>" and paths under the temporary folder "$TMP".
class Scene {
public:
    explicit Scene(const std::vector<ClientPlan>& plans) : folder_(fs::canonical(temporary_.path().toStdString())) {
        fs::create_directories(folder_ / "bin");
        fs::create_directories(folder_ / "links");
        for (const char* program : {"tirnow", "pavlor", "plain"}) {
            fs::copy_file(VELKOR_TEST_XCLIENT, folder_ / "bin" / program);
        }
        fs::create_symlink("../bin/tirnow", folder_ / "links" / "tirnow");
        for (const ClientPlan& plan : plans) {
            clients_.emplace_back(plan.name, std::make_unique<ClientProcess>(Arguments(plan)));
        }
    }

    fs::path Folder() const { return folder_; }
    std::vector<ProgramMapping> Programs() const {
        return {{u"\\Windows\\Tirnow.exe", folder_ / "links" / "tirnow"},
                {u"\\Windows\\Pavlor.exe", folder_ / "bin" / "pavlor"}};
    }
    ClientProcess& Client(std::string_view name) const {
        return *std::find_if(clients_.begin(), clients_.end(), [&](const auto& c) { return c.first == name; })->second;
    }
    WindowHandle Window(std::string_view name) const { return Client(name).Window(); }
    std::uint32_t Pid(std::string_view name) const { return static_cast<std::uint32_t>(Client(name).Pid()); }
    std::string ClosedNote(std::string_view name) const {
        const fs::path note = folder_ / fmt::format("{}.closed", name);
        for (auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kClientWaitMs);
             !fs::exists(note) && std::chrono::steady_clock::now() < end;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return test::ReadHostFile(note);
    }

    std::string WindowText(WindowHandle window) const {
        const auto client = std::find_if(clients_.begin(), clients_.end(),
                                         [&](const auto& c) { return c.second->Window() == window; });
        return client != clients_.end() ? client->first : fmt::format("{}", window);
    }
    // Process ids as whole numbers and the paths of this run, named.
    std::string Named(std::string text) const {
        for (const auto& [name, client] : clients_) {
            text = std::regex_replace(text, std::regex(fmt::format(R"(\b{}\b)", client->Pid())), "<" + name + ">");
        }
        text = std::regex_replace(text, std::regex(fmt::format(R"(\b{}\b)", getpid())), "<self>");
        for (std::size_t at = text.find(folder_.native()); at != std::string::npos; at = text.find(folder_.native())) {
            text.replace(at, folder_.native().size(), "$TMP");
        }
        return text;
    }

private:
    std::vector<std::string> Arguments(const ClientPlan& plan) const {
        std::vector<std::string> arguments{(folder_ / "bin" / plan.program).native(), "--title", plan.name,
                                           "--closed-file", (folder_ / (plan.name + ".closed")).native()};
        if (plan.ours) {
            arguments.insert(arguments.end(), {"--pid", std::to_string(getpid())});
        }
        if (!plan.mapped) {
            arguments.push_back("--unmapped");
        }
        if (plan.framed) {
            arguments.push_back("--framed");
        }
        if (!plan.transientFor.empty()) {
            arguments.insert(arguments.end(), {"--transient-for", std::to_string(Window(plan.transientFor))});
        }
        if (plan.exitOnClose) {
            arguments.insert(arguments.end(), {"--on-close", "exit"});
        }
        return arguments;
    }

    QTemporaryDir temporary_;
    fs::path folder_;
    std::vector<std::pair<std::string, std::unique_ptr<ClientProcess>>> clients_;
};

// Calls the window manager and answers each call as text: its result, and " error <code>" when
// the call set an error code.
class WindowsProbe {
public:
    explicit WindowsProbe(const Scene& scene)
        : scene_(scene), events_(scene.Folder() / "events.log"), windows_(scene.Programs(), errors_, events_) {}

    // Bottom-up from Last, as the updater looks for programs.
    std::string Walk() {
        Lines walked;
        for (WindowHandle window = windows_.GetWindow(windows_.MainWindow(), kLast); window != 0;
             window = windows_.GetWindow(window, kPrevious)) {
            walked.push_back(scene_.WindowText(window));
        }
        return fmt::format("{}", fmt::join(walked, " "));
    }
    std::string Main() { return Answer([&] { return scene_.WindowText(windows_.MainWindow()); }); }
    std::string SetMain(std::string_view name) {
        windows_.SetMainWindow(scene_.Window(name));
        return "set";
    }
    std::string Neighbour(WindowHandle window, WindowRelation relation) {
        return Answer([&] { return scene_.WindowText(windows_.GetWindow(window, relation)); });
    }
    std::string Visible(WindowHandle window) {
        return Answer([&] { return windows_.IsWindowVisible(window) ? 1 : 0; });
    }
    std::string ProcessId(WindowHandle window) {
        return Answer([&] { return windows_.GetWindowProcessId(window); });
    }
    std::string Module(std::uint32_t processId, std::size_t maxChars = 260) {
        return Answer([&] { return platform::ToUtf8(windows_.GetModuleFileName(processId, maxChars)); });
    }
    std::string Find(std::u16string_view executable) {
        return Answer([&] {
            std::uint32_t processId = 0;
            const WindowHandle window =
                update::FindProgramWindow(windows_, windows_.MainWindow(), executable, processId);
            return fmt::format("{} {}", scene_.WindowText(window), processId);
        });
    }
    std::string Command(WindowHandle window, std::uintptr_t wParam) {
        return Answer([&] { return windows_.SendCommand(window, wParam, 0); });
    }
    std::string Open(std::uint32_t processId) {
        return Answer([&] {
            process_ = windows_.OpenProcess(platform::PROCESS_TERMINATE, processId);
            return process_ ? "handle" : "null";
        });
    }
    std::string Terminate(std::uint32_t exitCode) {
        return Answer([&] { return process_->Terminate(exitCode) ? 1 : 0; });
    }

    Lines Events() const {
        Lines lines = test::LogTexts(test::ReadHostFile(scene_.Folder() / "events.log"));
        std::transform(lines.begin(), lines.end(), lines.begin(),
                       [&](const std::string& line) { return scene_.Named(line); });
        return lines;
    }

private:
    template <typename Call>
    std::string Answer(Call call) {
        errors_ = shared::ErrorState();
        const std::string answer = scene_.Named(fmt::format("{}", call()));
        const std::uint32_t error = errors_.Last();
        return error == platform::error::kSuccess ? answer : fmt::format("{} error {}", answer, error);
    }

    const Scene& scene_;
    shared::ErrorState errors_;
    shared::EventLog events_;
    XcbWindows windows_;
    std::unique_ptr<platform::ProcessHandle> process_;
};

struct WindowsCase {
    const char* name;
    std::function<Lines(const Scene&, WindowsProbe&)> calls;
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
    const Scene scene(kScene);
    for (const ClientPlan& plan : kScene) {
        ASSERT_NE(scene.Window(plan.name), 0U) << plan.name << " did not start";
    }
    WindowsProbe probe(scene);

    EXPECT_EQ(c.calls(scene, probe), c.answers);
    EXPECT_EQ(probe.Events(), c.events);
}

INSTANTIATE_TEST_SUITE_P(
    OnADisplay, XcbWindowsTest,
    ::testing::Values(
        WindowsCase{"WalkGoesBottomUpFromAnyWindow",
                    [](const Scene& s, WindowsProbe& p) {
                        return Lines{p.Walk(), p.Neighbour(s.Window("tirnow"), kLast),
                                     p.Neighbour(s.Window("updater"), kPrevious)};
                    },
                    {std::string(kWholeScene), "own-hidden", "0"},
                    {}},
        WindowsCase{"MainWindowIsTheTopmostOfOurOwnUntilOneIsGiven",
                    [](const Scene&, WindowsProbe& p) { return Lines{p.Main(), p.SetMain("tirnow"), p.Main()}; },
                    {"updater", "set", "tirnow"},
                    {}},
        WindowsCase{"VisibilityAndOwnership",
                    [](const Scene& s, WindowsProbe& p) {
                        return Lines{p.Visible(s.Window("tirnow")), p.Visible(s.Window("tirnow-hidden")),
                                     p.Neighbour(s.Window("tirnow-owned"), kOwner),
                                     p.Neighbour(s.Window("tirnow"), kOwner)};
                    },
                    {"1", "0", "pavlor", "0"},
                    {}},
        WindowsCase{"ProgramsAreFoundByTheirDevicePathsPastHiddenAndOwnedWindows",
                    [](const Scene&, WindowsProbe& p) {
                        return Lines{p.Find(u"\\windows\\TIRNOW.exe"), p.Find(u"\\Windows\\Pavlor.exe"),
                                     p.Find(u"\\Windows\\Quelt.exe")};
                    },
                    {"tirnow <tirnow>", "pavlor <pavlor>", "0 0"},
                    {}},
        WindowsCase{"ProcessesAndTheirModules",
                    [](const Scene& s, WindowsProbe& p) {
                        return Lines{p.ProcessId(s.Window("updater")), p.ProcessId(s.Window("tirnow")),
                                     p.Module(s.Pid("plain")), p.Module(0) == p.Module(getpid()) ? "self" : "other"};
                    },
                    {"<self>", "<tirnow>", "$TMP/bin/plain", "self"},
                    {}},
        WindowsCase{"ModulePathCutToFitWithItsTerminator",
                    [](const Scene& s, WindowsProbe& p) {
                        return Lines{p.Module(s.Pid("tirnow"), 20), p.Module(s.Pid("tirnow"), 19),
                                     p.Module(s.Pid("tirnow"), 0)};
                    },
                    {R"(\Windows\Tirnow.exe)", R"(\Windows\Tirnow.ex error 122)", " error 122"},
                    {}},
        WindowsCase{"NoSuchProcessAndTheUpdaterItselfAreRefused",
                    [](const Scene&, WindowsProbe& p) {
                        return Lines{p.Module(kNoProcess), p.Open(kNoProcess), p.Open(getpid())};
                    },
                    {" error 87", "null error 87", "null error 87"},
                    {}},
        WindowsCase{"HandlesOfNoTopLevelWindowFail",
                    [](const Scene& s, WindowsProbe& p) {
                        return Lines{p.Neighbour(0, kLast), p.Visible(kNoWindow), p.ProcessId(kNoWindow),
                                     p.Command(kNoWindow, 2),
                                     p.Neighbour(s.Window("tirnow"), static_cast<WindowRelation>(2))};
                    },
                    {"0 error 1400", "0 error 1400", "0 error 1400", "0 error 1400", "0 error 87"},
                    {}},
        WindowsCase{"CommandClosesTheWindowOfAProgramThatRunsOn",
                    [](const Scene& s, WindowsProbe& p) {
                        return Lines{p.Command(s.Window("tirnow"), 2), s.ClosedNote("tirnow"), p.Walk(),
                                     p.Command(s.Window("tirnow"), 1), s.Client("tirnow").State(0)};
                    },
                    {"0", "closed\n", "own-hidden pavlor tirnow-owned tirnow-hidden plain updater", "0 error 1400",
                     "running"},
                    {R"(window-command \Windows\Tirnow.exe <tirnow> 2)"}},
        WindowsCase{"CommandToAProgramOutsideTheTargetNamesItsHostPath",
                    [](const Scene& s, WindowsProbe& p) {
                        return Lines{p.Command(s.Window("plain"), 1), s.ClosedNote("plain"),
                                     s.Client("plain").State(kClientWaitMs)};
                    },
                    {"0", "closed\n", "exited 0"},
                    {"window-command $TMP/bin/plain <plain> 1"}},
        WindowsCase{"TerminationOfAnEndedProcessFails",
                    [](const Scene& s, WindowsProbe& p) {
                        return Lines{p.Open(s.Pid("pavlor")), s.Client("pavlor").Kill(), p.Terminate(4)};
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
    const Scene scene({});
    WindowsProbe probe(scene);

    EXPECT_EQ((Lines{probe.Main(), probe.Walk(), probe.Find(u"\\Windows\\Tirnow.exe"), probe.Visible(kNoWindow),
                     probe.Command(kNoWindow, 2), probe.Module(0, 1)}),
              (Lines{"0", "", "0 0 error 1400", "0 error 1400", "0 error 1400", " error 122"}));
    EXPECT_EQ(probe.Events(), Lines{});
}

}  // namespace
}  // namespace velkor::board
