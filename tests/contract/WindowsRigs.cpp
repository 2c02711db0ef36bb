#include "contract/WindowsRigs.h"

#include "backend/board/windows/XcbWindows.h"
#include "backend/shared/EventLog.h"
#include "backend/sim/DeviceConfig.h"
#include "backend/sim/windows/SimWindows.h"
#include "contract/VirtualDisplay.h"
#include "contract/XClientScene.h"
#include "support/FakeWindows.h"

#include <QTemporaryDir>

#include <fmt/format.h>

#include <unistd.h>

#include <optional>
#include <regex>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kTirnow = 101;
constexpr std::uint32_t kPavlor = 102;
constexpr std::uint32_t kFakeUpdater = 50;

// The programs of device.json: the updater's window is 1, then Tirnow's 2 to 4, Pavlor's 5.
constexpr std::string_view kSimScene = R"({{"screen": {{"width": 800, "height": 480}}, "languageId": 1033,
    "programs": [
        {{"processId": 101, "executable": "\\Windows\\Tirnow.exe", "windows": [{{}}, {{"visible": false}}, {{"owned": true}}]}},
        {{"processId": 102, "executable": "\\Windows\\Pavlor.exe", "windows": [{{}}], "onCommand": "close"}}],
    "faults": {}}})";

// Opens the program's process and terminates it.
void Terminate(platform::Windows& windows, std::uint32_t processId) {
    if (const std::unique_ptr<platform::ProcessHandle> process = windows.OpenProcess(platform::PROCESS_TERMINATE, processId)) {
        process->Terminate(0);
    }
}

// The fake and the simulator number the windows from 1, top to bottom.
class NumberedSceneRig : public WindowsRig {
protected:
    explicit NumberedSceneRig(std::uint32_t updater) {
        int handle = 1;
        for (const char* role : {"updater", "tirnow", "tirnow-hidden", "tirnow-owned", "pavlor"}) {
            NameWindow(role, handle++);
        }
        NameProcess("updater", updater);
        NameProcess("tirnow", kTirnow);
        NameProcess("pavlor", kPavlor);
    }
};

class FakeRig : public NumberedSceneRig {
public:
    explicit FakeRig(Arrangements needs) : NumberedSceneRig(kFakeUpdater), windows_(errors_) {
        windows_.zOrder = {{1, kFakeUpdater}, {2, kTirnow}, {3, kTirnow, false}, {4, kTirnow, true, 1},
                           {5, kPavlor, true, 0, true}};
        windows_.mainWindow = 1;
        windows_.executables = {{kFakeUpdater, u"\\Windows\\Velkor.exe"}, {kTirnow, u"\\Windows\\Tirnow.exe"},
                                {kPavlor, u"\\Windows\\Pavlor.exe"}};
        if ((needs & kPavlorTerminationRefused) != 0) {
            windows_.terminateFails = {kPavlor};
        }
        if ((needs & kPavlorOpenRefused) != 0) {
            windows_.openFails = {kPavlor};
        }
    }

    platform::Windows& Windows() override { return windows_; }
    shared::ErrorState& Errors() override { return errors_; }
    void EndProgram(std::string_view program) override { Terminate(windows_, Pid(program)); }

private:
    shared::ErrorState errors_;
    FakeWindows windows_;
};

class SimRig : public NumberedSceneRig {
public:
    explicit SimRig(Arrangements needs)
        : NumberedSceneRig(sim::kUpdaterProcessId),
          config_(sim::ParseDeviceConfig(fmt::format(kSimScene, FaultsJson(needs)), "device.json")),
          events_(fs::path(temporary_.path().toStdString()) / "events.log"),
          windows_(config_, errors_, events_) {}

    platform::Windows& Windows() override { return windows_; }
    shared::ErrorState& Errors() override { return errors_; }
    void EndProgram(std::string_view program) override { Terminate(windows_, Pid(program)); }

private:
    static std::string FaultsJson(Arrangements needs) {
        if ((needs & kPavlorTerminationRefused) != 0) {
            return R"({"terminateFails": ["\\Windows\\Pavlor.exe"]})";
        }
        return (needs & kPavlorOpenRefused) != 0 ? R"({"processOpenFails": [102]})" : "{}";
    }

    QTemporaryDir temporary_;
    sim::DeviceConfig config_;
    shared::ErrorState errors_;
    shared::EventLog events_;
    sim::SimWindows windows_;
};

// Started bottom-most first; the owned window's owner must exist before it.
const std::vector<ClientPlan> kBoardScene{
    {.name = "pavlor", .program = "pavlor", .framed = true},
    {.name = "tirnow-owned", .program = "tirnow", .transientFor = "pavlor"},
    {.name = "tirnow-hidden", .program = "tirnow", .mapped = false, .framed = true},
    {.name = "tirnow", .program = "tirnow", .framed = true},
    {.name = "updater", .program = "plain", .ours = true},
};

class BoardRig : public WindowsRig {
public:
    BoardRig() {
        if (!display_.Unavailable().empty()) {
            return;
        }
        scene_.emplace(kBoardScene);
        for (const ClientPlan& plan : kBoardScene) {
            NameWindow(plan.name, scene_->Window(plan.name));
            // Tirnow's three windows are three processes of one program.
            scene_->NameProcess(plan.name, plan.program == "plain" ? "updater" : plan.program);
        }
        NameProcess("updater", static_cast<std::uint32_t>(getpid()));
        NameProcess("tirnow", scene_->Pid("tirnow"));
        NameProcess("pavlor", scene_->Pid("pavlor"));
        events_.emplace(scene_->Folder() / "events.log");
        windows_.emplace(scene_->Programs(), errors_, *events_);
    }

    std::string Unavailable() const override {
        if (!display_.Unavailable().empty()) {
            return display_.Unavailable();
        }
        for (const ClientPlan& plan : kBoardScene) {
            if (scene_->Window(plan.name) == 0) {
                return plan.name + " did not show its window";
            }
        }
        return {};
    }
    platform::Windows& Windows() override { return *windows_; }
    shared::ErrorState& Errors() override { return errors_; }
    void EndProgram(std::string_view program) override { scene_->Client(program).Kill(); }
    std::string Named(std::string text) const override {
        return std::regex_replace(scene_->Named(std::move(text)), std::regex("<self>"), "<updater>");
    }

private:
    VirtualDisplay display_;
    std::optional<XClientScene> scene_;
    shared::ErrorState errors_;
    std::optional<shared::EventLog> events_;
    std::optional<board::XcbWindows> windows_;
};

}  // namespace

std::string WindowsRig::WindowName(platform::WindowHandle window) const {
    for (const auto& [role, handle] : windows_) {
        if (handle == window) {
            return role;
        }
    }
    return fmt::format("{}", window);
}

std::string WindowsRig::Named(std::string text) const {
    for (const auto& [program, processId] : processes_) {
        text = std::regex_replace(text, std::regex(fmt::format(R"(\b{}\b)", processId)), "<" + program + ">");
    }
    return text;
}

std::vector<RigMaker<WindowsRig>> WindowsRigs() {
    constexpr Arrangements kRefusals = kPavlorTerminationRefused | kPavlorOpenRefused;
    // As root nothing refuses to be opened or ended.
    return {MakerOf<WindowsRig, FakeRig>("Fake", kRefusals), MakerOf<WindowsRig, SimRig>("Sim", kRefusals),
            MakerOf<WindowsRig, BoardRig>("Board")};
}

}  // namespace velkor::test
