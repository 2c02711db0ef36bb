#pragma once

#include <filesystem>
#include <string>

namespace velkor::sim {

// The device directory's own entries (device.json, platform.reg, the two logs, installed.json,
// root/, flash/ and its region files) must be plain files and folders inside it: a link would carry
// the device's reads and writes elsewhere, and a FIFO or device file would block or never end. Throws
// shared::DeviceError naming the first entry that is not, before anything is read or written; entries
// that do not exist yet are left to those who read or make them.
void CheckDeviceEntries(const std::filesystem::path& directory);

// The whole of device.json or platform.reg, read as shared::ReadBoundedFile reads a device's own
// file: a plain file, not a link. Throws shared::DeviceError naming the file otherwise.
std::string ReadDeviceFile(const std::filesystem::path& path);

}  // namespace velkor::sim
