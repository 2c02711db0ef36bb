#include "backend/board/storage/CommandRunner.h"
#include "backend/board/support/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace velkor::board {
namespace {

namespace error = platform::error;

constexpr CommandEnd kNotStarted{CommandEnd::Kind::NotStarted};

CommandEnd Exited(int status) { return {CommandEnd::Kind::Exited, status}; }

struct CommandCase {
    const char* name;
    CommandLine command;
    CommandEnd end;
    // The last error Run leaves; kSuccess where it answers true.
    std::uint32_t error;
};

class CommandRunnerTest : public ::testing::TestWithParam<CommandCase> {};

// A replacement that holds a placeholder itself stays as it is.
const Placeholders kPlaceholders{{"{device}", "/dev/loop7"}, {"{mountPoint}", "/mnt/{device}"}};

TEST(CommandExpansionTest, ReplacesEveryPlaceholderOnce) {
    EXPECT_EQ(CommandRunner::Expand({"mount", "{device}", "at={mountPoint}:{device}", "{other}"}, kPlaceholders),
              (CommandLine{"mount", "/dev/loop7", "at=/mnt/{device}:/dev/loop7", "{other}"}));
}

TEST_P(CommandRunnerTest, AnswersTheCommandsExitStatus) {
    const CommandRunner runner;
    shared::ErrorState errors;

    EXPECT_EQ(runner.Execute(GetParam().command, kPlaceholders), GetParam().end);
    EXPECT_EQ(runner.Run(GetParam().command, kPlaceholders, errors), GetParam().end.Succeeded());
    EXPECT_EQ(errors.Last(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandRunnerTest,
    ::testing::Values(
        CommandCase{"Success", {"true"}, Exited(0), error::kSuccess},
        CommandCase{"ExitStatus", {"sh", "-c", "exit 3"}, Exited(3), error::kAccessDenied},
        CommandCase{"EndedBySignal", {"sh", "-c", "kill -TERM $$"}, Exited(128 + SIGTERM), error::kAccessDenied},
        CommandCase{"PlaceholderReplaced", {"test", "{device}", "=", "/dev/loop7"}, Exited(0), error::kSuccess},
        CommandCase{"NotOnPath", {"velkor-no-such-program"}, kNotStarted, error::kFileNotFound},
        CommandCase{"Empty", {}, kNotStarted, error::kFileNotFound}),
    [](const auto& info) { return info.param.name; });

// The state letter of /proc/PID/stat; 'X' once the process is gone.
char ProcessState(const std::string& processId) {
    std::ifstream stat("/proc/" + processId + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t nameEnd = text.rfind(')');
    return nameEnd != std::string::npos && nameEnd + 2 < text.size() ? text[nameEnd + 2] : 'X';
}

// A command that runs past the limit is killed with what it started, and the caller goes on at once.
TEST(CommandTimeLimitTest, EndsACommandThatRunsPastItWithWhatItStarted) {
    const test::TempFolder temp;
    const std::string started = (temp.Path() / "started").string();
    const CommandRunner runner(std::chrono::milliseconds(200));
    shared::ErrorState errors;
    const auto start = std::chrono::steady_clock::now();

    EXPECT_FALSE(runner.Run({"sh", "-c", "sleep 30 & echo $! > {device}; wait"}, {{"{device}", started}}, errors));

    EXPECT_EQ(errors.Last(), error::kTimeout);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    std::string sleeper;
    std::ifstream(started) >> sleeper;
    ASSERT_FALSE(sleeper.empty());
    // Killed, it is gone or a zombie once its new parent has not reaped it yet.
    char state = ProcessState(sleeper);
    for (int look = 0; look < 100 && state != 'X' && state != 'Z'; ++look) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        state = ProcessState(sleeper);
    }
    EXPECT_TRUE(state == 'X' || state == 'Z') << "the command's own child runs on, state " << state;
}

}  // namespace
}  // namespace velkor::board
