#include "update/UpdateSequence.h"

#include "support/FakeFileSystem.h"
#include "support/FakeSystem.h"

#include <fmt/format.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velkor::update {
namespace {

constexpr std::array kKinds{ImageKind::OS,  ImageKind::Logo, ImageKind::Logo2,
                            ImageKind::Boot, ImageKind::App,  ImageKind::Reset};
constexpr std::u16string_view kNandLog = u"\\NandFlash\\$MSD$\\startup.log";
constexpr std::u16string_view kDataLog = u"\\VKRFlash\\$MSD$\\startup.log";

std::string Name(ImageKind kind) { return std::string(ImageKindName(kind)); }
std::string Text(std::u16string_view text) { return std::string(text.begin(), text.end()); }

// A main window whose rows are plain values. Reading the controls into the members sets every
// flag from its check box, and copying the members back leaves the boxes alone, as the real data
// exchange does while an update runs (the window's own tests run it for real).
class FakeUpdateWindow : public UpdateWindow {
public:
    struct Row {
        bool checked = false;
        bool boxEnabled = true;
        int result = 1;
    };

    explicit FakeUpdateWindow(test::FakeFileSystem& files) : files_(files) {}

    std::map<ImageKind, Row> rows;
    UpdateSettings settings;
    std::map<ImageKind, std::u16string> statuses;
    std::vector<std::string> log;
    bool exitEnabled = true;
    bool logsGoneWhenAppRan = false;
    // How many log entries there were when the commit point came; none before it did.
    std::vector<std::size_t> commitsAfter;
    // What the commit point was told: whether every chosen row succeeded.
    std::optional<bool> wholeUpdate;
    // The device's word before the run, and the final message.
    platform::UpdateStart start = platform::UpdateStart::Go;
    std::u16string message;

    platform::UpdateStart StartUpdate(bool unattended) override {
        log.push_back(unattended ? "start unattended" : "start");
        return start;
    }
    void StopRunningPrograms() override { log.push_back("stop"); }
    void FormatDataVolume() override { log.push_back("format"); }
    int RunStep(ImageKind kind) override {
        log.push_back("run " + Name(kind));
        if (kind == ImageKind::App) {
            logsGoneWhenAppRan = !files_.Exists(kNandLog) && !files_.Exists(kDataLog);
        }
        return rows[kind].result;
    }
    bool CommitUpdate(bool whole) override {
        commitsAfter.push_back(log.size());
        log.push_back("commit");
        wholeUpdate = whole;
        return true;
    }
    bool IsChecked(ImageKind kind) override { return rows[kind].checked; }
    bool IsCheckBoxEnabled(ImageKind kind) override { return rows[kind].boxEnabled; }
    void UpdateData(bool saveAndValidate) override {
        if (saveAndValidate) {
            for (const ImageKind kind : kKinds) {
                settings.Enabled(kind) = rows[kind].checked ? 1 : 0;
            }
        }
    }
    UpdateSettings& Settings() override { return settings; }
    std::u16string& Status(ImageKind kind) override { return statuses[kind]; }
    void ClearStatusLabel(ImageKind kind) override { log.push_back("clear " + Name(kind)); }
    void PaintStatus(ImageKind kind) override { log.push_back("paint " + Name(kind) + " " + Text(statuses[kind])); }
    void EnableButton(CommandButton button, bool enabled) override {
        log.push_back(fmt::format("{} {}", enabled ? "enable" : "disable", static_cast<int>(button)));
        if (button == CommandButton::Exit) {
            exitEnabled = enabled;
        }
    }
    void FocusButton(CommandButton button) override { log.push_back(fmt::format("focus {}", static_cast<int>(button))); }
    void SetWaitCursor(bool shown) override { log.push_back(shown ? "wait" : "arrow"); }
    void ShowMessage(std::u16string_view text) override {
        log.push_back("message");
        message = text;
    }

private:
    test::FakeFileSystem& files_;
};

struct Fixture {
    Fixture() {
        files.AddFile(kNandLog, "nand");
        files.AddFile(kDataLog, "data");
    }
    void Run() {
        UpdateSequence(window, system, files).Run([this] {
            window.log.push_back("rows go on?");
            return rowsGoOn;
        });
    }
    std::vector<std::string> ChosenRows() {
        std::vector<std::string> names;
        for (const ImageKind kind : UpdateSequence(window, system, files).ChosenRows()) {
            names.push_back(Name(kind));
        }
        return names;
    }

    test::FakeFileSystem files;
    test::FakeSystem system;
    FakeUpdateWindow window{files};
    // What the card's gate answers after a failed row.
    bool rowsGoOn = true;
};

// Every row chosen: flag set, box checked and enabled.
void ChooseAll(FakeUpdateWindow& window) {
    for (const ImageKind kind : kKinds) {
        window.rows[kind].checked = true;
        window.settings.Enabled(kind) = 1;
    }
}

struct RunCase {
    const char* name;
    std::function<void(Fixture&)> arrange;
    std::vector<std::string> stepsRun;
    // Indexed like kKinds: OS, Logo, Logo2, Boot, App, Reset.
    std::array<std::u16string, 6> statuses;
    bool exitEnabled;
};

const std::vector<std::string> kAllSteps{"Logo", "Logo2", "Boot", "Reset", "OS", "App"};
const std::u16string kSucceed = u"Succeed [0 s]";

class UpdateSequenceTest : public testing::TestWithParam<RunCase> {};

TEST_P(UpdateSequenceTest, RunsTheChosenStepsInOrderAndShowsTheirResults) {
    Fixture fixture;
    fixture.window.statuses = {{ImageKind::OS, u"old"}, {ImageKind::App, u"old"}};
    GetParam().arrange(fixture);
    const UpdateSettings stored = fixture.window.settings;
    const std::vector<std::string> foreseen = fixture.ChosenRows();
    ASSERT_TRUE(fixture.window.log.empty() && fixture.window.settings == stored) << "foreseeing the rows did something";

    fixture.Run();

    std::vector<std::string> stepsRun;
    for (const std::string& entry : fixture.window.log) {
        if (entry.starts_with("run ")) {
            stepsRun.push_back(entry.substr(4));
        }
    }
    EXPECT_EQ(stepsRun, GetParam().stepsRun);
    EXPECT_EQ(foreseen, GetParam().stepsRun) << "the rows foreseen are the rows that ran";
    EXPECT_EQ(fixture.window.wholeUpdate,
              std::none_of(GetParam().statuses.begin(), GetParam().statuses.end(),
                           [](const std::u16string& status) { return status == u"Failed"; }));
    for (std::size_t index = 0; index < kKinds.size(); ++index) {
        EXPECT_EQ(fixture.window.statuses[kKinds[index]], GetParam().statuses[index]) << Name(kKinds[index]);
    }
    EXPECT_EQ(fixture.window.exitEnabled, GetParam().exitEnabled);
    const bool appRan = !stepsRun.empty() && stepsRun.back() == "App";
    EXPECT_EQ(fixture.files.Exists(kNandLog) || fixture.files.Exists(kDataLog), !appRan);
    EXPECT_EQ(fixture.window.logsGoneWhenAppRan, appRan);
    EXPECT_EQ(fixture.window.log.back(), "message") << "the final message ends every run";
}

INSTANTIATE_TEST_SUITE_P(
    Runs, UpdateSequenceTest,
    testing::Values(
        RunCase{"NothingChosen", [](Fixture&) {}, {}, {}, true},
        RunCase{"AllChosen", [](Fixture& f) { ChooseAll(f.window); }, kAllSteps,
                {kSucceed, kSucceed, kSucceed, kSucceed, kSucceed, kSucceed}, false},
        RunCase{"FailureDoesNotStopTheRest", [](Fixture& f) { ChooseAll(f.window), f.window.rows[ImageKind::Boot].result = 0; },
                kAllSteps, {kSucceed, kSucceed, kSucceed, u"Failed", kSucceed, kSucceed}, false},
        RunCase{"OnlyOneIsSuccess",
                [](Fixture& f) {
                    f.window.rows[ImageKind::OS] = {true, true, 2};
                    f.window.rows[ImageKind::Logo] = {true, true, -1};
                    f.window.settings.logoEnabled = 1;
                },
                {"Logo", "OS"}, {u"Failed", u"Failed", u"", u"", u"", u""}, true},
        RunCase{"WholeSecondsOfTheCalendarClock",
                [](Fixture& f) { f.window.rows[ImageKind::Boot].checked = true, f.window.settings.bootEnabled = 1,
                                 f.system.secondsPerReading = 12; },
                {"Boot"}, {u"", u"", u"", u"Succeed [12 s]", u"", u""}, true},
        RunCase{"FlagWithoutCheckBox", [](Fixture& f) { f.window.settings.logoEnabled = 1; }, {}, {}, true},
        RunCase{"CheckBoxWithoutFlag", [](Fixture& f) { f.window.rows[ImageKind::Reset].checked = true; }, {}, {},
                true},
        RunCase{"OsAndAppFlagsFollowTheirBoxes",
                [](Fixture& f) { f.window.rows[ImageKind::OS].checked = f.window.rows[ImageKind::App].checked = true; },
                {"OS", "App"}, {kSucceed, u"", u"", u"", kSucceed, u""}, false},
        RunCase{"DisabledCheckBox",
                [](Fixture& f) { f.window.rows[ImageKind::Logo2] = {true, false, 1}, f.window.settings.logo2Enabled = 1; },
                {}, {}, true},
        RunCase{"OsSucceedsAppFails",
                [](Fixture& f) { f.window.rows[ImageKind::OS].checked = true, f.window.rows[ImageKind::App] = {true, true, 0}; },
                {"OS", "App"}, {kSucceed, u"", u"", u"", u"Failed", u""}, false},
        RunCase{"OsFailsAppNotChosen", [](Fixture& f) { f.window.rows[ImageKind::OS] = {true, true, 0}; }, {"OS"},
                {u"Failed", u"", u"", u"", u"", u""}, true}),
    [](const testing::TestParamInfo<RunCase>& info) { return info.param.name; });

TEST(UpdateSequenceRun, StopsFormatsAndHoldsTheButtonsAroundTheSteps) {
    Fixture fixture;
    fixture.window.rows[ImageKind::Reset].checked = true;
    fixture.window.settings.resetEnabled = 1;

    fixture.Run();

    EXPECT_EQ(fixture.window.log,
              (std::vector<std::string>{"start", "stop", "clear OS", "clear Boot", "clear Logo", "clear Reset", "wait",
                                        "disable 0", "disable 1", "disable 2", "format", "paint Reset Waiting...",
                                        "run Reset", "commit", "enable 0", "enable 1", "enable 2", "focus 1",
                                        "arrow", "message"}));
    EXPECT_EQ(fixture.system.sleeps, std::vector<std::uint32_t>{300});
}

// A row whose image the device found other than the card lists stops the run: the rows after it
// are left as rows not chosen, and the commit point hears that the update is not whole.
TEST(UpdateSequenceStop, AMismatchLeavesTheRowsAfterItNotRun) {
    Fixture fixture;
    ChooseAll(fixture.window);
    fixture.window.statuses = {{ImageKind::OS, u"old"}, {ImageKind::App, u"old"}};
    fixture.window.rows[ImageKind::Logo2].result = 0;
    fixture.rowsGoOn = false;

    fixture.Run();

    std::vector<std::string> asked;
    std::copy_if(fixture.window.log.begin(), fixture.window.log.end(), std::back_inserter(asked),
                 [](const std::string& entry) { return entry.starts_with("run ") || entry == "rows go on?"; });
    EXPECT_EQ(asked, (std::vector<std::string>{"run Logo", "run Logo2", "rows go on?"}));
    EXPECT_EQ(fixture.window.statuses[ImageKind::Logo2], u"Failed");
    for (const ImageKind kind : {ImageKind::Boot, ImageKind::Reset, ImageKind::OS, ImageKind::App}) {
        EXPECT_EQ(fixture.window.statuses[kind], u"") << Name(kind);
    }
    EXPECT_EQ(fixture.window.wholeUpdate, false);
    EXPECT_TRUE(fixture.files.Exists(kNandLog) && fixture.files.Exists(kDataLog)) << "the App row's deletions did not run";
    EXPECT_TRUE(fixture.window.exitEnabled);
}

// A device that does not take the update now: its reason is the only thing the run shows.
class UpdateSequenceStartTest
    : public testing::TestWithParam<std::pair<platform::UpdateStart, std::u16string_view>> {};

TEST_P(UpdateSequenceStartTest, ADeclinedStartShowsWhyAndDoesNothingElse) {
    Fixture fixture;
    ChooseAll(fixture.window);
    fixture.window.start = GetParam().first;

    UpdateSequence(fixture.window, fixture.system, fixture.files).Run({}, true);

    EXPECT_EQ(fixture.window.log, (std::vector<std::string>{"start unattended", "message"}));
    EXPECT_EQ(fixture.window.message, GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Answers, UpdateSequenceStartTest,
                         testing::Values(std::pair{platform::UpdateStart::Refused, kNotStartedMessage},
                                         std::pair{platform::UpdateStart::AlreadyRunning, kAlreadyRunningMessage}));

struct CommitCase {
    const char* name;
    std::function<void(Fixture&)> arrange;
    // The log entry the commit point comes right after.
    std::string before;
};

class UpdateSequenceCommitTest : public testing::TestWithParam<CommitCase> {};

TEST_P(UpdateSequenceCommitTest, CommitsOnceAfterTheLastRowBeforeTheButtonsComeBack) {
    Fixture fixture;
    GetParam().arrange(fixture);

    fixture.Run();

    ASSERT_EQ(fixture.window.commitsAfter.size(), 1u);
    const std::size_t at = fixture.window.commitsAfter[0];
    ASSERT_GT(at, 0u);
    EXPECT_EQ(fixture.window.log[at - 1], GetParam().before);
    EXPECT_EQ(fixture.window.log[at + 1], "enable 0") << "the buttons come back after it";
}

INSTANTIATE_TEST_SUITE_P(
    Runs, UpdateSequenceCommitTest,
    testing::Values(CommitCase{"EveryRow", [](Fixture& fixture) { ChooseAll(fixture.window); }, "run App"},
                    CommitCase{"OnlyTheOs",
                               [](Fixture& fixture) {
                                   fixture.window.rows[ImageKind::OS].checked = true;
                                   fixture.window.settings.osEnabled = 1;
                               },
                               "run OS"},
                    CommitCase{"NoRow", [](Fixture&) {}, "format"}),
    [](const testing::TestParamInfo<CommitCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::update
