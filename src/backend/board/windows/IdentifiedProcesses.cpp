#include "backend/board/windows/IdentifiedProcesses.h"

#include <poll.h>
// glibc 2.36 declares the pidfd calls without C linkage for C++.
extern "C" {
#include <sys/pidfd.h>
}

#include <cerrno>

namespace velkor::board {
namespace {

std::error_code LastError() { return {errno, std::generic_category()}; }

// A pidfd turns readable once its process has ended.
bool HasEnded(const shared::UniqueFd& process) {
    pollfd ended{process.Get(), POLLIN, 0};
    return ::poll(&ended, 1, 0) == 1;
}

}  // namespace

std::u16string IdentifiedProcesses::Identify(std::uint32_t processId, std::error_code& error) {
    ForgetEnded();
    shared::UniqueFd process(pidfd_open(static_cast<pid_t>(processId), 0));
    if (!process.IsValid()) {
        error = LastError();
        return {};
    }
    std::u16string name = NameWhileRunning(process, processId, error);
    if (!error && executables_.IsProgram(name)) {
        identified_.insert_or_assign(processId, Identified{std::move(process), name});
    }
    return name;
}

shared::UniqueFd IdentifiedProcesses::Take(std::uint32_t processId, std::error_code& error) {
    const auto found = identified_.find(processId);
    if (found == identified_.end()) {
        shared::UniqueFd process(pidfd_open(static_cast<pid_t>(processId), 0));
        error = process.IsValid() ? std::error_code() : LastError();
        return process;
    }
    Identified identified = std::move(found->second);
    identified_.erase(found);
    const std::u16string name = NameWhileRunning(identified.process, processId, error);
    if (!error && name != identified.name) {
        error = std::make_error_code(std::errc::no_such_process);
    }
    return error ? shared::UniqueFd() : std::move(identified.process);
}

std::u16string IdentifiedProcesses::NameWhileRunning(const shared::UniqueFd& process, std::uint32_t processId,
                                                     std::error_code& error) const {
    std::u16string name = executables_.Of(processId, error);
    // Still running after the read, the process the pidfd reaches held the id all along, so the
    // name read is its own.
    if (!error && HasEnded(process)) {
        error = std::make_error_code(std::errc::no_such_process);
    }
    return error ? std::u16string() : name;
}

void IdentifiedProcesses::ForgetEnded() {
    std::erase_if(identified_, [](const auto& entry) { return HasEnded(entry.second.process); });
}

}  // namespace velkor::board
