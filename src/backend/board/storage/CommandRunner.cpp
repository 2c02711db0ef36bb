#include "backend/board/storage/CommandRunner.h"

#include "platform/ErrorCodes.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <vector>

namespace velkor::board {
namespace {

namespace error = platform::error;

// A shell reports a command that a signal ended as this plus the signal number.
constexpr int kSignalStatusBase = 128;

// The child's standard input, so that no command waits for a key the operator never presses.
class SpawnActions {
public:
    SpawnActions() {
        ::posix_spawn_file_actions_init(&actions_);
        ::posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
    ~SpawnActions() { ::posix_spawn_file_actions_destroy(&actions_); }

    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;

    const posix_spawn_file_actions_t* Get() const { return &actions_; }

private:
    posix_spawn_file_actions_t actions_{};
};

std::string ExpandArgument(std::string_view argument, const Placeholders& placeholders) {
    std::string expanded;
    std::size_t at = 0;
    while (at < argument.size()) {
        const std::string_view rest = argument.substr(at);
        const auto found = std::find_if(placeholders.begin(), placeholders.end(), [&](const auto& placeholder) {
            return !placeholder.first.empty() && rest.starts_with(placeholder.first);
        });
        if (found != placeholders.end()) {
            expanded += found->second;
            at += found->first.size();
        } else {
            expanded += argument[at++];
        }
    }
    return expanded;
}

// Reaps the child, so that none is left behind as a zombie; nothing when its end cannot be learnt
// (when the program ignores SIGCHLD, the kernel reaps children itself).
std::optional<int> WaitFor(pid_t child) {
    int status = 0;
    pid_t waited = 0;
    do {
        waited = ::waitpid(child, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited < 0) {
        return std::nullopt;
    }
    return WIFSIGNALED(status) ? kSignalStatusBase + WTERMSIG(status) : WEXITSTATUS(status);
}

}  // namespace

CommandLine CommandRunner::Expand(const CommandLine& command, const Placeholders& placeholders) {
    CommandLine expanded;
    for (const std::string& argument : command) {
        expanded.push_back(ExpandArgument(argument, placeholders));
    }
    return expanded;
}

std::optional<int> CommandRunner::Execute(const CommandLine& command, const Placeholders& placeholders) const {
    CommandLine arguments = Expand(command, placeholders);
    if (arguments.empty()) {
        return std::nullopt;
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    const SpawnActions actions;
    pid_t child = 0;
    if (::posix_spawnp(&child, argv.front(), actions.Get(), nullptr, argv.data(), environ) != 0) {
        return std::nullopt;
    }
    return WaitFor(child);
}

bool CommandRunner::Run(const CommandLine& command, const Placeholders& placeholders, shared::ErrorState& errors) const {
    const std::optional<int> status = Execute(command, placeholders);
    if (!status) {
        return errors.Fail(error::kFileNotFound);
    }
    if (*status != 0) {
        return errors.Fail(error::kAccessDenied);
    }
    return true;
}

}  // namespace velkor::board
