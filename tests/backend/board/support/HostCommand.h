#pragma once

#include <optional>
#include <string>

namespace velkor::test {

// Runs `command` through the shell, its errors discarded; its output, or nothing when it fails.
std::optional<std::string> RunHostCommand(const std::string& command);

// `text` as one shell word.
std::string ShellQuoted(const std::string& text);

}  // namespace velkor::test
