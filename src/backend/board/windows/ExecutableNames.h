#pragma once

#include "backend/board/TargetConfig.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace velkor::board {

// The executable of a running process as the updater names it: a sibling program by the device
// path the target file gives it ("\Windows\Tirnow.exe"), any other by its host path.
class ExecutableNames {
public:
    // A configured executable may be reached through links: it is matched by where they lead.
    explicit ExecutableNames(const std::vector<ProgramMapping>& programs);

    // Read from /proc; empty with `error` set to the host's error when the process does not exist
    // (ENOENT, for 0 too) or its executable may not be read.
    std::u16string Of(std::uint32_t processId, std::error_code& error) const;

    // Whether `name`, as Of gives it, is a sibling program's device path.
    bool IsProgram(std::u16string_view name) const;

private:
    std::u16string Name(const std::filesystem::path& executable) const;

    // Executables resolved.
    std::vector<ProgramMapping> programs_;
};

}  // namespace velkor::board
