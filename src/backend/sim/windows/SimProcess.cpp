#include "backend/sim/windows/SimProcess.h"

#include "backend/shared/EventLog.h"
#include "platform/DeviceText.h"

#include <fmt/format.h>

namespace velkor::sim {

SimProcess::SimProcess(const ProgramConfig& program, bool refusesTermination, Desktop& desktop, shared::ErrorState& errors,
                       shared::EventLog& events)
    : program_(program),
      refusesTermination_(refusesTermination),
      desktop_(desktop),
      errors_(errors),
      events_(events) {}

bool SimProcess::Terminate(std::uint32_t exitCode) {
    const bool done = !refusesTermination_ && desktop_.FindProgram(program_.processId) != nullptr;
    if (done) {
        desktop_.EndProgram(program_.processId);
    } else {
        errors_.Fail(platform::error::kAccessDenied);
    }
    events_.TerminateProcess(platform::ToUtf8(program_.executable), program_.processId, exitCode, done, errors_.Last());
    return done;
}

}  // namespace velkor::sim
