#include "LoopRegion.h"

#include <fmt/format.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

namespace velkor::bench {
namespace {

// The first line `command` prints; nothing when it fails.
std::optional<std::string> FirstLineOf(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::array<char, 256> line{};
    if (!pipe || !std::fgets(line.data(), line.size(), pipe.get())) {
        return std::nullopt;
    }
    std::string text(line.data());
    text.erase(text.find_last_not_of('\n') + 1);
    return ::pclose(pipe.release()) == 0 ? std::optional(text) : std::nullopt;
}

}  // namespace

LoopRegion::LoopRegion(const std::filesystem::path& file, std::uint64_t bytes) {
    std::ofstream(file).close();
    std::filesystem::resize_file(file, bytes);
    const std::string quoted = fmt::format("'{}'", file.string());
    std::optional<std::string> device = FirstLineOf("losetup --direct-io=on -f --show " + quoted + " 2>/dev/null");
    directIo_ = device.has_value();
    device = device ? device : FirstLineOf("losetup -f --show " + quoted + " 2>/dev/null");
    path_ = device.value_or("");
}

LoopRegion::~LoopRegion() {
    if (!path_.empty()) {
        std::system(fmt::format("losetup -d {}", path_.string()).c_str());
    }
}

}  // namespace velkor::bench
