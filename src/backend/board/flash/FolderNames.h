#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace velkor::board {

// The entries of a host folder (a link to one is followed), without "." and ".."; none when it
// cannot be listed. For the kernel's own folders under /sys and /proc, whose entries come and go.
std::vector<std::string> FolderNames(const std::filesystem::path& folder);

}  // namespace velkor::board
