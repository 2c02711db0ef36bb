#include "update/ProgramStopper.h"

#include "support/FakeWindows.h"
#include "support/StringLists.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace velkor::update {
namespace {

using test::operator+;
using test::FakeWindow;
using test::FakeWindows;
using Calls = std::vector<std::string>;

constexpr platform::WindowHandle kMain = 1;
constexpr platform::WindowHandle kTirnow = 10;
constexpr platform::WindowHandle kPavlor = 20;


// Both commands, then the termination with exit code 4.
Calls Stopped(platform::WindowHandle window, std::uint32_t process) {
    const std::string w = std::to_string(window);
    const std::string p = std::to_string(process);
    return {"command " + w + " 2", "command " + w + " 1", "open " + p, "terminate " + p + " 4", "close " + p};
}

const Calls kWalk{"walk"};
const Calls kTenWalks(10, "walk");

struct StopCase {
    const char* name;
    std::function<void(FakeWindows&)> arrange;
    Calls calls;
};

class StopRunningProgramsTest : public testing::TestWithParam<StopCase> {};

TEST_P(StopRunningProgramsTest, EndsOnlyTheSiblingProgramsVisibleWindows) {
    FakeWindows windows;
    windows.mainWindow = kMain;
    windows.zOrder = {{kMain, 50}};
    windows.executables = {{50, u"\\Windows\\Velkor.exe"}, {101, u"\\Windows\\Tirnow.exe"},
                           {102, u"\\Windows\\Pavlor.exe"}};
    GetParam().arrange(windows);

    StopRunningPrograms(windows, kMain);

    EXPECT_EQ(windows.calls, GetParam().calls);
}

void Add(FakeWindows& windows, FakeWindow window) { windows.zOrder.push_back(window); }

INSTANTIATE_TEST_SUITE_P(
    Programs, StopRunningProgramsTest,
    testing::Values(
        StopCase{"NeitherRunning", [](FakeWindows&) {}, kWalk + kWalk},
        StopCase{"BothRunning", [](FakeWindows& w) { Add(w, {kPavlor, 102}), Add(w, {kTirnow, 101}); },
                 kWalk + Stopped(kTirnow, 101) + kWalk + kWalk + Stopped(kPavlor, 102) + kWalk},
        StopCase{"OnlyPavlor", [](FakeWindows& w) { Add(w, {kPavlor, 102}); },
                 kWalk + kWalk + Stopped(kPavlor, 102) + kWalk},
        StopCase{"HiddenWindow", [](FakeWindows& w) { Add(w, {kTirnow, 101, false}); }, kWalk + kWalk},
        StopCase{"OwnedWindow", [](FakeWindows& w) { Add(w, {kTirnow, 101, true, kMain}); }, kWalk + kWalk},
        StopCase{"PathInOtherCase",
                 [](FakeWindows& w) { Add(w, {kTirnow, 101}), w.executables[101] = u"\\WINDOWS\\tirnow.EXE"; },
                 kWalk + Stopped(kTirnow, 101) + kWalk + kWalk},
        StopCase{"OwnWindowNeverMatched", [](FakeWindows& w) { w.executables[50] = u"\\Windows\\Tirnow.exe"; },
                 kWalk + kWalk},
        StopCase{"ProcessIdZero",
                 [](FakeWindows& w) { Add(w, {kTirnow, 0}), w.executables[0] = u"\\Windows\\Tirnow.exe"; },
                 kWalk + Calls{"command 10 2", "command 10 1"} + kWalk},
        StopCase{"WindowOutlivesTheProcess",
                 [](FakeWindows& w) { Add(w, {kTirnow, 101}), w.terminateLeavesWindows = true; },
                 kWalk + Stopped(kTirnow, 101) + kTenWalks + kWalk},
        StopCase{"ProcessDoesNotOpen", [](FakeWindows& w) { Add(w, {kTirnow, 101}), w.openFails = {101}; },
                 kWalk + Calls{"command 10 2", "command 10 1", "open 101"} + kTenWalks + kWalk}),
    [](const testing::TestParamInfo<StopCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::update
