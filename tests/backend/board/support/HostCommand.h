#pragma once

#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>

namespace velkor::test {

// Runs `command` through the shell, its errors discarded; its output, or nothing when it fails.
std::optional<std::string> RunHostCommand(const std::string& command);

// `text` as one shell word.
std::string ShellQuoted(const std::string& text);

// Why the test cannot use `devices` (such as /dev/loop-control or /dev/fuse), which need root; empty
// when it can.
std::string RootDevicesMissing(std::initializer_list<const char*> devices);

// A new sparse file of `bytes`.
void MakeSparseFile(const std::filesystem::path& path, std::uintmax_t bytes);

}  // namespace velkor::test
