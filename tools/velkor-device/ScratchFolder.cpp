#include "velkor-device/ScratchFolder.h"

#include "backend/shared/DeviceError.h"

#include <fmt/format.h>
#include <fmt/std.h>

#include <stdlib.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace velkor::device_tool {
namespace {

namespace fs = std::filesystem;

// mkdtemp() replaces these and makes the folder in one step, so no other folder is ever taken.
constexpr std::string_view kUniqueSuffix = "-XXXXXX";

fs::path MakeUniqueFolder(const fs::path& neighbour, std::string_view purpose) {
    std::string pattern = (neighbour.parent_path() / fmt::format(".{}.{}{}", neighbour.filename().string(), purpose,
                                                                 kUniqueSuffix))
                              .string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw shared::DeviceError(fmt::format("cannot make a folder beside {}: {}", neighbour,
                                            std::generic_category().message(errno)));
    }
    return pattern;
}

}  // namespace

ScratchFolder::ScratchFolder(const fs::path& neighbour, std::string_view purpose)
    : path_(MakeUniqueFolder(neighbour, purpose)) {}

ScratchFolder::~ScratchFolder() {
    if (!kept_) {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
}

}  // namespace velkor::device_tool
