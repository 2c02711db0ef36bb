#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "platform/Windows.h"
#include "backend/sim/windows/Desktop.h"

namespace velkor::sim {

// An open program. Each termination asked through it is one events.log line; closing it writes
// nothing. It must not outlive the desktop it was opened on.
class SimProcess : public platform::ProcessHandle {
public:
    // `refusesTermination` makes every termination fail while the program runs on.
    SimProcess(const ProgramConfig& program, bool refusesTermination, Desktop& desktop, shared::ErrorState& errors,
               shared::EventLog& events);

    // Fails with 5 (access denied) when the program has already ended or refuses to.
    bool Terminate(std::uint32_t exitCode) override;

private:
    const ProgramConfig& program_;
    bool refusesTermination_;
    Desktop& desktop_;
    shared::ErrorState& errors_;
    shared::EventLog& events_;
};

}  // namespace velkor::sim
