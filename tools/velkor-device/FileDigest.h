#pragma once

#include <filesystem>
#include <string>

namespace velkor::device_tool {

// The file's SHA-256 in hex; "(unreadable)" when it cannot be read.
std::string Sha256Of(const std::filesystem::path& file);

}  // namespace velkor::device_tool
