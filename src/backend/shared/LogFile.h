#pragma once

#include "backend/shared/UniqueFd.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

namespace velkor::shared {

// One of the device's log files, written a line at a time: "YYYY-MM-DD HH:MM:SS.mmm <text>" in
// local time. The file is opened on the first line, so a device that is only looked at gets no
// log, and every line is written at once, so that whoever watches the file sees it immediately,
// and reaches the medium before the program goes on, so that it outlasts a power cut.
// Only a plain file is written: a link, a FIFO or a device file in its place gets no lines.
class LogFile {
public:
    explicit LogFile(std::filesystem::path path);

    // `text` is written as it is; it should not hold line breaks.
    void WriteLine(std::string_view text);

private:
    static std::string Timestamp(std::chrono::system_clock::time_point time);
    bool EnsureOpen();

    std::filesystem::path path_;
    UniqueFd file_;
    bool openFailed_ = false;
};

}  // namespace velkor::shared
