#include "support/LogTexts.h"

#include <regex>
#include <sstream>

namespace velkor::test {

std::vector<std::string> LogTexts(const std::string& log) {
    const std::regex stamped(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3} (.*))");
    std::vector<std::string> texts;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        texts.push_back(std::regex_match(line, match, stamped) ? match[1].str() : "no time stamp: " + line);
    }
    return texts;
}

}  // namespace velkor::test
