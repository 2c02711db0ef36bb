#pragma once

#include <cstdint>

namespace velkor::trust {

// When this program was built (configured), in seconds since the epoch: a device clock earlier
// than this has not been set.
std::int64_t ProgramBuildTime();

}  // namespace velkor::trust
