#pragma once

#include "velkor-device/CommandLine.h"

#include <ostream>

namespace velkor::device_tool {

// Makes the device and tells what it made and how to run the updater on it.
// Throws shared::DeviceError when the device cannot be made.
void RunInit(const InitRequest& request, std::ostream& out);

}  // namespace velkor::device_tool
