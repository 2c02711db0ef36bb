#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velkor::board {

// The non-empty pieces of `text` between any of the `delimiters`: the kernel's tables under /proc
// are lines of fields that runs of spaces (and, in /proc/swaps, tabs) part.
std::vector<std::string_view> SplitKernelText(std::string_view text, std::string_view delimiters);

// A path field of /proc/self/mountinfo or /proc/swaps: the kernel writes a space, tab, newline or
// backslash in it as a backslash and three octal digits.
std::string UnescapeKernelPath(std::string_view field);

}  // namespace velkor::board
