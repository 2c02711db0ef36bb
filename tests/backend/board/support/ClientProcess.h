#pragma once

#include "backend/shared/UniqueFd.h"

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace velkor::board {

// A run of velkor_test_xclient (or any program that prints a window id first), started with
// `arguments` (the program first). Killed and reaped when the object goes.
class ClientProcess {
public:
    explicit ClientProcess(const std::vector<std::string>& arguments);
    ~ClientProcess();

    ClientProcess(const ClientProcess&) = delete;
    ClientProcess& operator=(const ClientProcess&) = delete;

    pid_t Pid() const { return pid_; }
    // The id the program printed; 0 when it printed none within ten seconds.
    std::uint32_t Window() const { return window_; }

    // "running" when it has not ended within `waitMs`, otherwise how it ended ("killed" by SIGKILL,
    // "signal <n>", "exited <code>"); the process is reaped then.
    std::string State(int waitMs);
    // Kills it (when it has not ended yet) and answers how it ended.
    std::string Kill();

private:
    // Starts the program with its standard output on `output`, which is closed here once the
    // program has its own copy: a client that ends without a window then ends the read at once.
    void Spawn(const std::vector<std::string>& arguments, shared::UniqueFd output);
    std::uint32_t ReadWindow() const;
    void Reap();

    shared::UniqueFd output_;
    pid_t pid_ = -1;
    shared::UniqueFd process_;
    std::uint32_t window_ = 0;
    std::string ended_;
};

}  // namespace velkor::board
