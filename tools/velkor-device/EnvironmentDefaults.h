#pragma once

#include "backend/shared/slots/BootState.h"

#include <filesystem>
#include <string_view>

namespace velkor::device_tool {

// The environment a device's U-Boot starts from, as the engineer gives it to env-init: the text U-Boot's
// build makes with `make u-boot-initial-env`, or `fw_printenv` output of a good device. One
// `name=value` a line, in the file's order; empty lines are skipped.
class EnvironmentDefaults {
public:
    // Throws DeviceError naming the file and the line that is not `name=value`, or a name given twice.
    static shared::BootVariables Read(const std::filesystem::path& file);
    static shared::BootVariables Parse(std::string_view text, std::string_view where);
};

}  // namespace velkor::device_tool
