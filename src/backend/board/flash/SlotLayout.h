#pragma once

#include "backend/board/TargetConfig.h"
#include "backend/board/flash/DiskTopology.h"

#include <filesystem>
#include <string>
#include <vector>

namespace velkor::board {

// What is wrong with a target's two-slot regions and boot environment, each problem led by the
// field at fault: a slot that cannot be examined, two slots of different sizes, a slot that reaches
// the bytes of another region or slot, an environment copy that overlaps a region, a slot or the
// other copy (compared by disk and byte range, so a partition and its disk are seen as one), or
// that does not fit its device. A target without two-slot regions has none.
std::vector<std::string> SlotLayoutProblems(const TargetConfig& config,
                                            const std::filesystem::path& sysfs = kSysfsRoot);

// Throws shared::DeviceError, before anything is written, with the first of SlotLayoutProblems, or
// when the environment is short or corrupt, or it or the kernel command line names a slot that does
// not exist.
void CheckBootSide(const TargetConfig& config);

}  // namespace velkor::board
