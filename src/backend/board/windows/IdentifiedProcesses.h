#pragma once

#include "backend/shared/UniqueFd.h"
#include "backend/board/windows/ExecutableNames.h"

#include <cstdint>
#include <map>
#include <string>
#include <system_error>

namespace velkor::board {

// The processes of sibling programs as the program identified them, by their module path. Each
// one's pidfd is taken before its /proc/PID/exe is read, and kept: the close requests and their
// waits come between identifying a program and ending it, and meanwhile the program may end and
// its id go to another process. The kept pidfd still reaches the program that was identified, or
// no process at all.
class IdentifiedProcesses {
public:
    explicit IdentifiedProcesses(const ExecutableNames& executables) : executables_(executables) {}

    // The module name of the process (ExecutableNames::Of); empty, with `error` set to the host's
    // error, when it cannot be read or the process ended while it was read. A process that runs a
    // sibling program keeps its pidfd until Take.
    std::u16string Identify(std::uint32_t processId, std::error_code& error);

    // A pidfd for ending the process. For a process identified as a sibling, the pidfd taken then,
    // and only while /proc/PID/exe still maps to that sibling and the process has not ended:
    // otherwise ESRCH, for the process identified is gone. For any other process, a new pidfd.
    // Invalid, with `error` set, when there is none.
    shared::UniqueFd Take(std::uint32_t processId, std::error_code& error);

private:
    struct Identified {
        shared::UniqueFd process;
        std::u16string name;
    };

    // The name of the process that `process` reaches, read from /proc/PID/exe while it runs.
    std::u16string NameWhileRunning(const shared::UniqueFd& process, std::uint32_t processId,
                                    std::error_code& error) const;
    // Forgets the processes that have ended since they were identified.
    void ForgetEnded();

    const ExecutableNames& executables_;
    std::map<std::uint32_t, Identified> identified_;
};

}  // namespace velkor::board
