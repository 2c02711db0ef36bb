#pragma once

#include <ostream>
#include <string_view>

namespace velkor::device_tool {

// "Label:" in a column of its own, then the value; a label alone heads the detail lines below it.
void Line(std::ostream& out, std::string_view label, std::string_view value);
// One indented detail line.
void Detail(std::ostream& out, std::string_view text);

}  // namespace velkor::device_tool
