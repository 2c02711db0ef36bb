#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace velkor::sim {

// The most the simulator reads of device.json or platform.reg.
inline constexpr std::uint64_t kMaxDeviceFileBytes = 16 * 1024 * 1024;

// The device directory's own entries (device.json, platform.reg, the two logs, root/, flash/ and
// its region files) must be plain files and folders inside it: a link would carry the device's
// reads and writes elsewhere, and a FIFO or device file would block or never end. Throws
// shared::DeviceError naming the first entry that is not, before anything is read or written; entries
// that do not exist yet are left to those who read or make them.
void CheckDeviceEntries(const std::filesystem::path& directory);

// The whole of device.json or platform.reg, which must be a plain file of at most
// kMaxDeviceFileBytes. Throws shared::DeviceError naming the file otherwise.
std::string ReadDeviceFile(const std::filesystem::path& path);

}  // namespace velkor::sim
