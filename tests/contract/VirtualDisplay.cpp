#include "contract/VirtualDisplay.h"

#include "backend/shared/UniqueFd.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

extern char** environ;

namespace velkor::test {
namespace {

constexpr int kStartWaitMs = 10000;
constexpr const char* kServer = "Xvfb";

}  // namespace

VirtualDisplay::VirtualDisplay() {
    const char* display = std::getenv("DISPLAY");
    hadDisplay_ = display != nullptr;
    saved_ = display ? display : "";
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        unavailable_ = "no pipe for the display's number";
        return;
    }
    const shared::UniqueFd output(pipeEnds[0]);
    shared::UniqueFd input(pipeEnds[1]);
    // The server writes the number of the display it chose to descriptor 3.
    std::vector<std::string> arguments{kServer, "-displayfd", "3", "-noreset", "-nolisten", "tcp", "-screen", "0",
                                       "1280x800x24"};
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input.Get(), 3);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (::posix_spawnp(&pid_, kServer, &actions, nullptr, argv.data(), environ) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    // Only the server holds the pipe's end now, so a server that dies ends the read.
    input.Close();
    if (pid_ < 0) {
        unavailable_ = "Xvfb is not installed";
        return;
    }
    const std::string number = ReadDisplayNumber(output.Get());
    if (number.empty()) {
        unavailable_ = "Xvfb did not start a display";
        return;
    }
    ::setenv("DISPLAY", (":" + number).c_str(), 1);
}

VirtualDisplay::~VirtualDisplay() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    if (hadDisplay_) {
        ::setenv("DISPLAY", saved_.c_str(), 1);
    } else {
        ::unsetenv("DISPLAY");
    }
}

std::string VirtualDisplay::ReadDisplayNumber(int fd) {
    std::string number;
    pollfd ready{fd, POLLIN, 0};
    for (char digit = 0; digit != '\n'; number += digit) {
        if (::poll(&ready, 1, kStartWaitMs) != 1) {
            return {};
        }
        if (::read(fd, &digit, 1) != 1) {
            return {};
        }
    }
    number.pop_back();
    return number;
}

}  // namespace velkor::test
