#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velkor::test {

// The UTF-16LE bytes of a text.
std::string Utf16Le(std::u16string_view text);

// A settings file as the updater writes it: one marker-enclosed entry a line, CR LF after each.
std::string SettingsFileBytes(const std::vector<std::u16string>& entries);

}  // namespace velkor::test
