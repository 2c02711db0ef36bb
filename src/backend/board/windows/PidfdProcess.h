#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "backend/shared/UniqueFd.h"
#include "platform/Windows.h"

#include <cstdint>
#include <string>

namespace velkor::board {

// The device error for a failed host call that named a process: one that does not exist (ESRCH,
// ENOENT for its /proc entry, EINVAL for an id no process can have) is 87, as an unknown process
// id is on the device; anything else maps as a host error does.
std::uint32_t ProcessError(int errnoValue);

// An open process of the device, held through a pidfd, so that once the process has ended and its
// id is given to another, the handle still reaches no process but its own. Each termination is one
// events.log line; closing writes nothing.
class PidfdProcess : public platform::ProcessHandle {
public:
    // False with the last error set when the process `process` reaches has ended or may not be
    // signalled.
    static bool MaySignal(const shared::UniqueFd& process, shared::ErrorState& errors);

    // `process` is a pidfd that MaySignal accepted; `executable` is the name events.log gives the process.
    PidfdProcess(shared::UniqueFd process, std::uint32_t processId, std::string executable, shared::ErrorState& errors,
                shared::EventLog& events);

    // Kills the process (SIGKILL) and waits up to two seconds for it to end, so that its windows are
    // on their way out when the program looks for them again; a process stuck in the kernel ends
    // later. A Linux process cannot be given an exit code by another: it ends by the signal, and
    // `exitCode` is only logged. Fails with 5 once the process has ended and been reaped, as the
    // device refuses to terminate an ended process.
    bool Terminate(std::uint32_t exitCode) override;

private:
    bool Kill();

    shared::UniqueFd process_;
    std::uint32_t processId_;
    std::string executable_;
    shared::ErrorState& errors_;
    shared::EventLog& events_;
};

}  // namespace velkor::board
