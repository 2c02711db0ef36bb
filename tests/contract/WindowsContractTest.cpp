#include "support/WindowsProbe.h"
#include "contract/WindowsRigs.h"

#include <functional>

namespace velkor::test {
namespace {

using platform::WindowRelation;

constexpr WindowRelation kLast = WindowRelation::Last;
constexpr WindowRelation kPrevious = WindowRelation::Previous;
// No scene has a window or a process of this number.
constexpr platform::WindowHandle kNoWindow = 0x7FFFFFFF;
constexpr std::uint32_t kNoProcess = 0x7FFFFFFF;
constexpr const char* kWholeScene = "pavlor tirnow-owned tirnow-hidden tirnow updater";

struct WindowsCase {
    const char* name;
    Arrangements needs;
    std::function<Lines(WindowsRig&, WindowsProbe&)> calls;
    Lines answers;
};

class WindowsContract : public ContractSuite<WindowsRig, WindowsCase> {};

TEST_P(WindowsContract, AnswersAsTheDeviceDoes) {
    const auto& [maker, c] = GetParam();
    const std::unique_ptr<WindowsRig> rig = maker.make(c.needs);
    if (!rig->Unavailable().empty()) {
        GTEST_SKIP() << rig->Unavailable();
    }
    const WindowsRig& named = *rig;
    WindowsProbe probe(rig->Windows(), rig->Errors(),
                       {[&](platform::WindowHandle window) { return named.WindowName(window); },
                        [&](std::string text) { return named.Named(std::move(text)); }});

    EXPECT_EQ(c.calls(*rig, probe), c.answers);
}

const WindowsCase kCases[] = {
    {"WalkGoesBottomUpFromAnyWindowAndEndsAtZero", 0,
     [](WindowsRig& r, WindowsProbe& p) {
         return Lines{p.Main(), p.Walk(), p.Neighbour(r.Window("tirnow"), kLast),
                      p.Neighbour(r.Window("tirnow"), kPrevious), p.Neighbour(r.Window("updater"), kPrevious)};
     },
     {"updater", kWholeScene, "pavlor", "updater", "0"}},
    {"VisibilityAndOwnership", 0,
     [](WindowsRig& r, WindowsProbe& p) {
         return Lines{p.Visible(r.Window("tirnow")), p.Visible(r.Window("tirnow-hidden")),
                      p.Owned(r.Window("tirnow-owned")), p.Owned(r.Window("tirnow"))};
     },
     {"1", "0", "owned", "none"}},
    {"ProgramsAreFoundByTheirDevicePathsPastHiddenAndOwnedWindows", 0,
     [](WindowsRig&, WindowsProbe& p) {
         return Lines{p.Find(u"\\windows\\TIRNOW.exe"), p.Find(u"\\Windows\\Pavlor.exe"), p.Find(u"\\Windows\\Quelt.exe")};
     },
     {"tirnow <tirnow>", "pavlor <pavlor>", "0 0"}},
    {"ProcessesAndTheirModules", 0,
     [](WindowsRig& r, WindowsProbe& p) {
         return Lines{p.ProcessId(r.Window("updater")), p.ProcessId(r.Window("tirnow")),
                      p.ProcessId(r.Window("pavlor")), p.Module(r.Pid("tirnow")), p.Module(r.Pid("pavlor"))};
     },
     {"<updater>", "<tirnow>", "<pavlor>", "\\Windows\\Tirnow.exe", "\\Windows\\Pavlor.exe"}},
    {"ModulePathCutToFitWithItsTerminator", 0,
     [](WindowsRig& r, WindowsProbe& p) {
         return Lines{p.Module(r.Pid("tirnow"), 20), p.Module(r.Pid("tirnow"), 19), p.Module(r.Pid("tirnow"), 1)};
     },
     {"\\Windows\\Tirnow.exe", "\\Windows\\Tirnow.ex error 122", " error 122"}},
    {"HandlesOfNoWindowFail", 0,
     [](WindowsRig& r, WindowsProbe& p) {
         return Lines{p.Neighbour(kNoWindow, kLast), p.Visible(kNoWindow), p.ProcessId(kNoWindow),
                      p.Command(kNoWindow, 2), p.Neighbour(r.Window("tirnow"), static_cast<WindowRelation>(2))};
     },
     {"0 error 1400", "0 error 1400", "0 error 1400", "0 error 1400", "0 error 87"}},
    {"NoSuchProcessTheUpdaterAndZeroAreRefused", 0,
     [](WindowsRig& r, WindowsProbe& p) {
         return Lines{p.Module(kNoProcess), p.Open(kNoProcess), p.Open(r.Pid("updater")), p.Open(0)};
     },
     {" error 87", "null error 87", "null error 87", "null error 87"}},
    {"ACommandClosesTheWindowOfAProgramThatRunsOn", 0,
     [](WindowsRig& r, WindowsProbe& p) {
         return Lines{p.Command(r.Window("pavlor"), 2), p.Walk(), p.Command(r.Window("pavlor"), 1),
                      p.Module(r.Pid("pavlor"))};
     },
     {"0", "tirnow-owned tirnow-hidden tirnow updater", "0 error 1400", "\\Windows\\Pavlor.exe"}},
    {"ATerminationOfAProgramThatEndedFails", 0,
     [](WindowsRig& r, WindowsProbe& p) {
         const std::string opened = p.Open(r.Pid("pavlor"));
         r.EndProgram("pavlor");
         return Lines{opened, p.Terminate(4)};
     },
     {"handle", "0 error 5"}},
    {"AProgramThatEndedAfterItWasFoundDoesNotOpen", 0,
     [](WindowsRig& r, WindowsProbe& p) {
         const std::string found = p.Find(u"\\Windows\\Pavlor.exe");
         r.EndProgram("pavlor");
         return Lines{found, p.Open(r.Pid("pavlor"))};
     },
     {"pavlor <pavlor>", "null error 87"}},
    {"ATerminationTheDeviceRefusesFails", kPavlorTerminationRefused,
     [](WindowsRig& r, WindowsProbe& p) {
         return Lines{p.Open(r.Pid("pavlor")), p.Terminate(4), p.Module(r.Pid("pavlor")), p.Visible(r.Window("pavlor"))};
     },
     {"handle", "0 error 5", "\\Windows\\Pavlor.exe", "1"}},
    {"AProcessTheDeviceWillNotOpen", kPavlorOpenRefused,
     [](WindowsRig& r, WindowsProbe& p) { return Lines{p.Open(r.Pid("pavlor")), p.Open(r.Pid("tirnow"))}; },
     {"null error 5", "handle"}},
};

INSTANTIATE_TEST_SUITE_P(Implementations, WindowsContract,
                         ::testing::ValuesIn(WindowsContract::Pairings(WindowsRigs(), kCases)), WindowsContract::Name);

}  // namespace
}  // namespace velkor::test
