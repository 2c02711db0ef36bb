#pragma once

#include "backend/shared/UniqueFd.h"

#include <filesystem>
#include <string_view>

namespace velkor::shared {

// The file whose lock says that a program drives the device.
inline constexpr std::string_view kDeviceLockFile = "velkor.lock";

// Held for as long as a program drives a device (the operator's program, or an install from the
// command line), so that two never update one device at once: the second is told so and does
// nothing. The lock is the kernel's (flock), so it goes with the program however it ends.
class DeviceLock {
public:
    // Takes the lock on `folder`/velkor.lock, making the folder when missing. Throws DeviceError
    // when another program holds it, or the file cannot be opened.
    explicit DeviceLock(const std::filesystem::path& folder);

private:
    UniqueFd file_;
};

}  // namespace velkor::shared
