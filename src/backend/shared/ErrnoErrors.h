#pragma once

#include <cstdint>

namespace velkor::shared {

// The device error code for a failed host call's errno. A missing file and a missing folder
// both come back as ENOENT; callers that can tell them apart do so themselves.
std::uint32_t DeviceErrorFromErrno(int errnoValue);

}  // namespace velkor::shared
