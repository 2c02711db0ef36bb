#pragma once

#include <string>
#include <vector>

namespace velkor::test {

// The texts of a device log's lines without their time stamps; a line without one is kept as
// "no time stamp: <line>" so that a malformed line fails the comparison.
std::vector<std::string> LogTexts(const std::string& log);

}  // namespace velkor::test
