#pragma once

#include "backend/shared/storage/FatParameters.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace velkor::shared {

// A FAT volume's first sector, whose BIOS parameter block starts after the jump instruction and
// the formatter's name.
inline constexpr std::size_t kBootSectorBytes = 512;
inline constexpr std::size_t kBootSectorParameterBlockOffset = 11;

// The FAT parameters a boot sector states. Nothing when the sector is not the boot sector of a
// FAT volume that the volume parameters reply can describe: no 0x55 0xAA signature at its end, a
// sector size other than a power of two from 512 to 4096, a cluster of other than a power-of-two
// count of sectors, no reserved sector, no FAT, no sectors at all, or no 16-bit FAT size (FAT32,
// whose larger parameter block the reply has no room for).
std::optional<FatParameters> ReadBootSector(std::span<const std::uint8_t, kBootSectorBytes> sector);

}  // namespace velkor::shared
