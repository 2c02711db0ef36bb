#include "backend/board/support/HostCommand.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <fstream>
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

std::string RootDevicesMissing(std::initializer_list<const char*> devices) {
    bool present = ::geteuid() == 0;
    for (const char* device : devices) {
        present = present && std::filesystem::exists(device);
    }
    return present ? std::string() : fmt::format("needs root and {}", fmt::join(devices, " and "));
}

void MakeSparseFile(const std::filesystem::path& path, std::uintmax_t bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).close();
    std::filesystem::resize_file(path, bytes);
}

}  // namespace velkor::test
