#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/board/TargetConfig.h"

#include <chrono>
#include <map>
#include <string>

namespace velkor::board {

// What stands for what in a command line: {"{device}", "/dev/mmcblk0p2"}.
using Placeholders = std::map<std::string, std::string>;

// How a command ended.
struct CommandEnd {
    enum class Kind {
        // It exited, or a signal ended it: `status` says how.
        Exited,
        // An empty command, a program that is not on PATH or not executable, or an end that could
        // not be learnt.
        NotStarted,
        // It ran past the time limit and was killed.
        TimedOut,
    };

    Kind kind = Kind::NotStarted;
    // The exit status; 128 plus the signal number when a signal ended it.
    int status = 0;

    bool Succeeded() const { return kind == Kind::Exited && status == 0; }
    bool operator==(const CommandEnd&) const = default;
};

// Runs the target file's commands (mount, unmount, restart, the core service, mkfs.fat): each one
// a program found on PATH, started with its arguments as they stand, without a shell, its input
// from /dev/null and its output and errors the program's own, and waited for within a time limit.
// A command that runs past it is killed with everything it started (its process group), so that a
// hung unmount cannot stall the update.
class CommandRunner {
public:
    // Longer than any mount, unmount or mkfs.fat of the device's partitions takes.
    static constexpr std::chrono::milliseconds kTimeLimit{60000};

    explicit CommandRunner(std::chrono::milliseconds timeLimit = kTimeLimit) : timeLimit_(timeLimit) {}

    // The arguments of `command` with every placeholder replaced, anywhere in an argument; what a
    // replacement brings in is not looked at again.
    static CommandLine Expand(const CommandLine& command, const Placeholders& placeholders);

    CommandEnd Execute(const CommandLine& command, const Placeholders& placeholders) const;

    // True when the command exited with 0. Otherwise false with the last error set: kFileNotFound
    // when it could not be started, kTimeout when it ran past the time limit, kAccessDenied when it
    // failed.
    bool Run(const CommandLine& command, const Placeholders& placeholders, shared::ErrorState& errors) const;

private:
    std::chrono::milliseconds timeLimit_;
};

}  // namespace velkor::board
