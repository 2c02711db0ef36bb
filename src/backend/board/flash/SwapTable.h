#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

namespace velkor::board {

// The active swap areas, partitions and files, as /proc/swaps names them below its heading line.
std::vector<std::filesystem::path> ParseSwaps(std::string_view text);

}  // namespace velkor::board
