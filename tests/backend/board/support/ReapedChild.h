#pragma once

#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>

namespace velkor::board {

// A child process a test started: killed with SIGKILL and reaped when the object goes, so that none
// outlives its test and its id is free for another.
class ReapedChild {
public:
    explicit ReapedChild(pid_t pid) : pid_(pid) {}
    ~ReapedChild() { Kill(); }
    ReapedChild(const ReapedChild&) = delete;
    ReapedChild& operator=(const ReapedChild&) = delete;

    // -1 when it could not be started.
    pid_t Pid() const { return pid_; }
    bool IsRunning() const { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }
    void Kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
    }

private:
    pid_t pid_;
};

}  // namespace velkor::board
