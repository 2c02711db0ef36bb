#include "target/windows/HostProcess.h"

#include "host/HostErrors.h"

#include <poll.h>
#include <signal.h>
// glibc 2.36 declares the pidfd calls without C linkage for C++.
extern "C" {
#include <sys/pidfd.h>
}

#include <cerrno>

namespace velkor::target {
namespace {

constexpr int kEndWaitMs = 2000;

}  // namespace

std::uint32_t ProcessError(int hostError) {
    const bool noSuchProcess = hostError == ESRCH || hostError == ENOENT || hostError == EINVAL;
    return noSuchProcess ? platform::error::kInvalidParameter : host::DeviceErrorFromErrno(hostError);
}

host::UniqueFd HostProcess::Open(std::uint32_t processId, host::ErrorState& errors) {
    host::UniqueFd process(pidfd_open(static_cast<pid_t>(processId), 0));
    if (!process.IsValid()) {
        errors.Fail(ProcessError(errno));
        return process;
    }
    // Signal 0 only asks whether a kill would be allowed, so a process of another user fails here
    // with 5, as an open for termination does on the device.
    if (pidfd_send_signal(process.Get(), 0, nullptr, 0) != 0) {
        errors.Fail(ProcessError(errno));
        return {};
    }
    return process;
}

HostProcess::HostProcess(host::UniqueFd process, std::uint32_t processId, std::string executable,
                         host::ErrorState& errors, host::EventLog& events)
    : process_(std::move(process)),
      processId_(processId),
      executable_(std::move(executable)),
      errors_(errors),
      events_(events) {}

bool HostProcess::Terminate(std::uint32_t exitCode) {
    const bool done = Kill();
    events_.TerminateProcess(executable_, processId_, exitCode, done, errors_.Last());
    return done;
}

bool HostProcess::Kill() {
    if (pidfd_send_signal(process_.Get(), SIGKILL, nullptr, 0) != 0) {
        // ESRCH: ended and reaped; the host mapping makes that 5.
        return errors_.Fail(host::DeviceErrorFromErrno(errno));
    }
    // The pidfd turns readable when the process has ended. The wait's outcome changes nothing: the
    // kill is on its way either way.
    pollfd ended{process_.Get(), POLLIN, 0};
    ::poll(&ended, 1, kEndWaitMs);
    return true;
}

}  // namespace velkor::target
