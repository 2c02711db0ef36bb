#pragma once

#include <cstdint>

namespace velkor::platform {

// Control codes of the device's disk and volume drivers.

// Fills the partition's 24-byte disk information; input and output are the same buffer.
inline constexpr std::uint32_t DISK_IOCTL_GETINFO = 1;
// No input; a 360-byte reply whose bytes 13 to 37 are the volume's FAT BIOS parameter block.
inline constexpr std::uint32_t IOCTL_DISK_GET_VOLUME_PARAMETERS = 0x70204;
// No input; a 16-byte reply of four 32-bit words, the free and total cluster counts at 8 and 12.
inline constexpr std::uint32_t IOCTL_DISK_GET_FREE_SPACE = 0x70208;

inline constexpr std::uint32_t kVolumeParametersBytes = 360;
inline constexpr std::uint32_t kFreeSpaceBytes = 16;

}  // namespace velkor::platform
