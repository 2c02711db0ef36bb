#include "velkor-device/ReportLines.h"

#include <fmt/format.h>

#include <string>

namespace velkor::device_tool {

void Line(std::ostream& out, std::string_view label, std::string_view value) {
    const std::string heading = fmt::format("{}:", label);
    out << (value.empty() ? heading : fmt::format("{:<18}{}", heading, value)) << '\n';
}

void Detail(std::ostream& out, std::string_view text) { out << "  " << text << '\n'; }

}  // namespace velkor::device_tool
