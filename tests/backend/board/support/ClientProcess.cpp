#include "backend/board/support/ClientProcess.h"

#include <fmt/format.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
// glibc 2.36 declares the pidfd calls without C linkage for C++.
extern "C" {
#include <sys/pidfd.h>
}

#include <string>

extern char** environ;

namespace velkor::board {
namespace {

constexpr int kStartWaitMs = 10000;

bool WaitReadable(int fd, int waitMs) {
    pollfd ready{fd, POLLIN, 0};
    return ::poll(&ready, 1, waitMs) == 1;
}

std::string EndText(int status) {
    if (WIFEXITED(status)) {
        return fmt::format("exited {}", WEXITSTATUS(status));
    }
    return WTERMSIG(status) == SIGKILL ? "killed" : fmt::format("signal {}", WTERMSIG(status));
}

}  // namespace

ClientProcess::ClientProcess(const std::vector<std::string>& arguments) {
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return;
    }
    output_ = shared::UniqueFd(pipeEnds[0]);
    Spawn(arguments, shared::UniqueFd(pipeEnds[1]));
    if (pid_ > 0) {
        process_ = shared::UniqueFd(pidfd_open(pid_, 0));
        window_ = ReadWindow();
    }
}

void ClientProcess::Spawn(const std::vector<std::string>& arguments, shared::UniqueFd output) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output.Get(), STDOUT_FILENO);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
}

ClientProcess::~ClientProcess() {
    if (pid_ > 0) {
        Kill();
    }
}

std::string ClientProcess::State(int waitMs) {
    if (ended_.empty() && WaitReadable(process_.Get(), waitMs)) {
        Reap();
    }
    return ended_.empty() ? "running" : ended_;
}

std::string ClientProcess::Kill() {
    // A child's id is not given to another process before it is reaped, so the id is safe here.
    if (ended_.empty()) {
        ::kill(pid_, SIGKILL);
        Reap();
    }
    return ended_;
}

void ClientProcess::Reap() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    ended_ = EndText(status);
}

std::uint32_t ClientProcess::ReadWindow() const {
    std::string line;
    char c = 0;
    while (WaitReadable(output_.Get(), kStartWaitMs) && ::read(output_.Get(), &c, 1) == 1 && c != '\n') {
        line += c;
    }
    return c == '\n' ? static_cast<std::uint32_t>(std::stoul(line)) : 0;
}

}  // namespace velkor::board
