#pragma once

#include "sim/DeviceInit.h"

#include <filesystem>
#include <string_view>
#include <variant>
#include <vector>

namespace velkor::device_tool {

struct InitRequest {
    std::filesystem::path directory;
    sim::DeviceOptions options;
};

struct ShowRequest {
    std::filesystem::path directory;
};

struct CheckTargetRequest {
    std::filesystem::path file;
};

struct HelpRequest {};

using Request = std::variant<InitRequest, ShowRequest, CheckTargetRequest, HelpRequest>;

// The request that the arguments after the program name make. Throws UsageError.
Request ParseCommandLine(const std::vector<std::string_view>& arguments);

std::string_view UsageText();

}  // namespace velkor::device_tool
