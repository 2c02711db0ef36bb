#pragma once

#include "platform/StringArray.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace velkor::ui {

// Whether the file picker lists `name`: its extension, the text after the last dot, equals one of
// `extensions` without regard to case. On a match `extension` receives it as written in the name.
bool MatchExtension(std::u16string_view name, const platform::StringArray& extensions, std::u16string& extension);

// A file's length as the Size column shows it, "117.74 MB". The length passes through single
// precision, as the device has always shown it.
std::u16string SizeText(std::uint64_t bytes);

}  // namespace velkor::ui
