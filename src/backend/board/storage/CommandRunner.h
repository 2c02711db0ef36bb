#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/board/TargetConfig.h"

#include <map>
#include <optional>
#include <string>

namespace velkor::board {

// What stands for what in a command line: {"{device}", "/dev/mmcblk0p2"}.
using Placeholders = std::map<std::string, std::string>;

// Runs the target file's commands (mount, unmount, restart, the core service, mkfs.fat): each one
// a program found on PATH, started with its arguments as they stand, without a shell, its input
// from /dev/null and its output and errors the program's own, and waited for.
class CommandRunner {
public:
    // The arguments of `command` with every placeholder replaced, anywhere in an argument; what a
    // replacement brings in is not looked at again.
    static CommandLine Expand(const CommandLine& command, const Placeholders& placeholders);

    // The command's exit status, 128 plus the signal number when a signal ended it; nothing when it
    // could not be started (an empty command, a program that is not on PATH or not executable) or
    // its end could not be learnt.
    std::optional<int> Execute(const CommandLine& command, const Placeholders& placeholders) const;

    // True when the command exited with 0. Otherwise false with the last error set: kFileNotFound
    // when it could not be started, kAccessDenied when it failed.
    bool Run(const CommandLine& command, const Placeholders& placeholders, shared::ErrorState& errors) const;
};

}  // namespace velkor::board
