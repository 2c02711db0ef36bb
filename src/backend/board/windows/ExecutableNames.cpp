#include "backend/board/windows/ExecutableNames.h"

#include "platform/DeviceText.h"

#include <fmt/format.h>

#include <algorithm>

namespace velkor::board {

namespace fs = std::filesystem;

ExecutableNames::ExecutableNames(const std::vector<ProgramMapping>& programs) : programs_(programs) {
    for (ProgramMapping& program : programs_) {
        std::error_code error;
        // Left as written when a folder on the way cannot be read; the kernel's answer for the
        // running process is resolved, so such an entry matches only a process run by that path.
        if (fs::path resolved = fs::weakly_canonical(program.executable, error); !error) {
            program.executable = std::move(resolved);
        }
    }
}

std::u16string ExecutableNames::Of(std::uint32_t processId, std::error_code& error) const {
    const fs::path executable = fs::read_symlink(fmt::format("/proc/{}/exe", processId), error);
    return error ? std::u16string() : Name(executable);
}

bool ExecutableNames::IsProgram(std::u16string_view name) const {
    return std::any_of(programs_.begin(), programs_.end(),
                       [&](const ProgramMapping& mapping) { return mapping.devicePath == name; });
}

std::u16string ExecutableNames::Name(const fs::path& executable) const {
    const auto program = std::find_if(programs_.begin(), programs_.end(),
                                      [&](const ProgramMapping& mapping) { return mapping.executable == executable; });
    return program != programs_.end() ? program->devicePath : platform::FromUtf8(executable.native());
}

}  // namespace velkor::board
