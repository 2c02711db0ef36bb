#include "backend/board/storage/CommandRunner.h"

#include "platform/ErrorCodes.h"

#include "backend/shared/UniqueFd.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
// glibc 2.36 declares the pidfd calls without C linkage for C++.
extern "C" {
#include <sys/pidfd.h>
}

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <vector>

namespace velkor::board {
namespace {

namespace error = platform::error;

// A shell reports a command that a signal ended as this plus the signal number.
constexpr int kSignalStatusBase = 128;
// How long a killed command has to end; one stuck in the kernel is left behind rather than waited on.
constexpr int kKilledEndWaitMs = 1000;

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

// A process group of the child's own, so that a command that runs too long is killed with what it started.
class SpawnAttributes {
public:
    SpawnAttributes() {
        ::posix_spawnattr_init(&attributes_);
        ::posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETPGROUP);
        ::posix_spawnattr_setpgroup(&attributes_, 0);
    }
    ~SpawnAttributes() { ::posix_spawnattr_destroy(&attributes_); }

    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;

    const posix_spawnattr_t* Get() const { return &attributes_; }

private:
    posix_spawnattr_t attributes_{};
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
std::optional<int> Reap(pid_t child) {
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

bool AwaitEnd(int process, int waitMs) {
    pollfd ended{process, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&ended, 1, waitMs);
    } while (ready < 0 && errno == EINTR);
    return ready == 1;
}

// Waits for the child within the limit, and kills its process group past it.
CommandEnd WaitFor(pid_t child, std::chrono::milliseconds limit) {
    // The child is not reaped before this returns, so its id cannot have been given to another.
    const shared::UniqueFd process(pidfd_open(child, 0));
    if (process.IsValid() && !AwaitEnd(process.Get(), static_cast<int>(limit.count()))) {
        ::kill(-child, SIGKILL);
        if (AwaitEnd(process.Get(), kKilledEndWaitMs)) {
            Reap(child);
        }
        return {CommandEnd::Kind::TimedOut};
    }
    const std::optional<int> status = Reap(child);
    return status ? CommandEnd{CommandEnd::Kind::Exited, *status} : CommandEnd{};
}

}  // namespace

CommandLine CommandRunner::Expand(const CommandLine& command, const Placeholders& placeholders) {
    CommandLine expanded;
    for (const std::string& argument : command) {
        expanded.push_back(ExpandArgument(argument, placeholders));
    }
    return expanded;
}

CommandEnd CommandRunner::Execute(const CommandLine& command, const Placeholders& placeholders) const {
    CommandLine arguments = Expand(command, placeholders);
    if (arguments.empty()) {
        return {};
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    const SpawnActions actions;
    const SpawnAttributes attributes;
    pid_t child = 0;
    if (::posix_spawnp(&child, argv.front(), actions.Get(), attributes.Get(), argv.data(), environ) != 0) {
        return {};
    }
    return WaitFor(child, timeLimit_);
}

bool CommandRunner::Run(const CommandLine& command, const Placeholders& placeholders, shared::ErrorState& errors) const {
    const CommandEnd end = Execute(command, placeholders);
    switch (end.kind) {
        case CommandEnd::Kind::NotStarted:
            return errors.Fail(error::kFileNotFound);
        case CommandEnd::Kind::TimedOut:
            return errors.Fail(error::kTimeout);
        case CommandEnd::Kind::Exited:
            break;
    }
    if (end.status != 0) {
        return errors.Fail(error::kAccessDenied);
    }
    return true;
}

}  // namespace velkor::board
