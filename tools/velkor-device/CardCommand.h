#pragma once

#include "velkor-device/CommandLine.h"

#include <ostream>

namespace velkor::device_tool {

// Checks every image of the card against the device and, when nothing stands against it, lays the
// card out and tells what became of each image. Otherwise each problem goes to `problems` on a
// line of its own, nothing is written, and it throws shared::DeviceError.
void RunCard(const CardRequest& request, std::ostream& out, std::ostream& problems);

}  // namespace velkor::device_tool
