#include "backend/board/storage/CommandRunner.h"

#include <gtest/gtest.h>

#include <csignal>
#include <optional>

namespace velkor::board {
namespace {

namespace error = platform::error;

struct CommandCase {
    const char* name;
    CommandLine command;
    std::optional<int> status;
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

    EXPECT_EQ(runner.Execute(GetParam().command, kPlaceholders), GetParam().status);
    EXPECT_EQ(runner.Run(GetParam().command, kPlaceholders, errors), GetParam().status == 0);
    EXPECT_EQ(errors.Last(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandRunnerTest,
    ::testing::Values(
        CommandCase{"Success", {"true"}, 0, error::kSuccess},
        CommandCase{"ExitStatus", {"sh", "-c", "exit 3"}, 3, error::kAccessDenied},
        CommandCase{"EndedBySignal", {"sh", "-c", "kill -TERM $$"}, 128 + SIGTERM, error::kAccessDenied},
        CommandCase{"PlaceholderReplaced", {"test", "{device}", "=", "/dev/loop7"}, 0, error::kSuccess},
        CommandCase{"NotOnPath", {"velkor-no-such-program"}, std::nullopt, error::kFileNotFound},
        CommandCase{"Empty", {}, std::nullopt, error::kFileNotFound}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::board
