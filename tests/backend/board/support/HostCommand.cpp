#include "backend/board/support/HostCommand.h"

#include <stdio.h>
#include <sys/wait.h>

#include <array>
#include <memory>

namespace velkor::test {
namespace {

struct ClosePipe {
    int* status;
    void operator()(FILE* pipe) const { *status = ::pclose(pipe); }
};

}  // namespace

std::optional<std::string> RunHostCommand(const std::string& command) {
    int status = -1;
    std::string output;
    {
        const std::unique_ptr<FILE, ClosePipe> pipe(::popen((command + " 2>/dev/null").c_str(), "r"), {&status});
        std::array<char, 4096> buffer{};
        // Read as bytes: the output may be a file's, zeros included.
        for (std::size_t got = pipe ? ::fread(buffer.data(), 1, buffer.size(), pipe.get()) : 0; got > 0;
             got = ::fread(buffer.data(), 1, buffer.size(), pipe.get())) {
            output.append(buffer.data(), got);
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? std::optional(output) : std::nullopt;
}

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char character : text) {
        quoted += character == '\'' ? std::string("'\\''") : std::string(1, character);
    }
    return quoted + "'";
}

}  // namespace velkor::test
