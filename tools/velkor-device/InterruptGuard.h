#pragma once

#include <signal.h>

#include <array>
#include <stdexcept>

namespace velkor::device_tool {

// While it lives, an interrupt (SIGINT, SIGTERM, SIGHUP) is only noted, so that whatever the
// work made on the way (a scratch copy of a device) is removed before the program ends. Check()
// stops the work at its next step; when the guard goes, after everything made later than it, the
// noted signal ends the program as it would have at once. One guard at a time.
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();

    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    // Throws Interrupted when a signal was noted.
    void Check() const;

    class Interrupted : public std::runtime_error {
    public:
        Interrupted() : std::runtime_error("interrupted") {}
    };

private:
    static constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};
    std::array<struct sigaction, kSignals.size()> previous_{};
};

}  // namespace velkor::device_tool
