#pragma once

#include <string>
#include <string_view>

namespace velkor::shared {

// One debug print as one log line: the print's own line feed ends the line, any other line break
// is kept visible as \r or \n.
std::string DebugLine(std::u16string_view text);

}  // namespace velkor::shared
