#include "sim/LogFile.h"

#include <fmt/chrono.h>
#include <fmt/format.h>
#include <fmt/std.h>

#include <ctime>
#include <iostream>

namespace velkor::sim {

LogFile::LogFile(std::filesystem::path path) : path_(std::move(path)) {}

void LogFile::WriteLine(std::string_view text) {
    if (!EnsureOpen()) {
        return;
    }
    stream_ << Timestamp(std::chrono::system_clock::now()) << ' ' << text << '\n';
    stream_.flush();
}

std::string LogFile::Timestamp(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count() % 1000;
    return fmt::format("{:%Y-%m-%d %H:%M:%S}.{:03d}", local, milliseconds);
}

bool LogFile::EnsureOpen() {
    if (stream_.is_open() || openFailed_) {
        return stream_.is_open();
    }
    stream_.open(path_, std::ios::app | std::ios::binary);
    if (!stream_.is_open()) {
        // Said once: logging must not stop the device, and a line per attempt would drown stderr.
        openFailed_ = true;
        std::cerr << fmt::format("velkor: cannot write {}; its lines are dropped\n", path_);
    }
    return stream_.is_open();
}

}  // namespace velkor::sim
