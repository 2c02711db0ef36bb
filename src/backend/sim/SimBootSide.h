#pragma once

#include "backend/shared/slots/EnvironmentCopy.h"
#include "backend/sim/DeviceConfig.h"

#include <filesystem>

namespace velkor::sim {

// The boot loader's side of a device with two-slot regions: its environment in two files of the
// device directory, and the kernel command line of the last boot, which names the booted slot.
shared::EnvironmentCopies EnvironmentCopiesOf(const std::filesystem::path& deviceDir, const DeviceConfig& config);
std::filesystem::path CommandLineFileOf(const std::filesystem::path& deviceDir);

// For a device with two-slot regions: throws shared::DeviceError, before anything is written, when
// its environment is missing, short or corrupt, or names a slot that does not exist, or the command
// line names one. A device without them has nothing to check.
void CheckBootSide(const std::filesystem::path& deviceDir, const DeviceConfig& config);

}  // namespace velkor::sim
