#include "backend/board/windows/PidfdProcess.h"

#include "backend/shared/ErrnoErrors.h"

#include <poll.h>
#include <signal.h>
// glibc 2.36 declares the pidfd calls without C linkage for C++.
extern "C" {
#include <sys/pidfd.h>
}

#include <cerrno>

namespace velkor::board {
namespace {

constexpr int kEndWaitMs = 2000;

}  // namespace

std::uint32_t ProcessError(int errnoValue) {
    const bool noSuchProcess = errnoValue == ESRCH || errnoValue == ENOENT || errnoValue == EINVAL;
    return noSuchProcess ? platform::error::kInvalidParameter : shared::DeviceErrorFromErrno(errnoValue);
}

bool PidfdProcess::MaySignal(const shared::UniqueFd& process, shared::ErrorState& errors) {
    // Signal 0 only asks whether a kill would be allowed, so a process of another user fails here
    // with 5, as an open for termination does on the device.
    if (pidfd_send_signal(process.Get(), 0, nullptr, 0) != 0) {
        return errors.Fail(ProcessError(errno));
    }
    return true;
}

PidfdProcess::PidfdProcess(shared::UniqueFd process, std::uint32_t processId, std::string executable,
                         shared::ErrorState& errors, shared::EventLog& events)
    : process_(std::move(process)),
      processId_(processId),
      executable_(std::move(executable)),
      errors_(errors),
      events_(events) {}

bool PidfdProcess::Terminate(std::uint32_t exitCode) {
    const bool done = Kill();
    events_.TerminateProcess(executable_, processId_, exitCode, done, errors_.Last());
    return done;
}

bool PidfdProcess::Kill() {
    if (pidfd_send_signal(process_.Get(), SIGKILL, nullptr, 0) != 0) {
        // ESRCH: ended and reaped; the host mapping makes that 5.
        return errors_.Fail(shared::DeviceErrorFromErrno(errno));
    }
    // The pidfd turns readable when the process has ended. The wait's outcome changes nothing: the
    // kill is on its way either way.
    pollfd ended{process_.Get(), POLLIN, 0};
    ::poll(&ended, 1, kEndWaitMs);
    return true;
}

}  // namespace velkor::board
