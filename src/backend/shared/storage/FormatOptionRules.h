#pragma once

#include "platform/FormatLibrary.h"

#include <cstdint>

namespace velkor::shared {

// Whether a volume of `bytesPerSector`-byte sectors can be formatted exactly as `options` ask,
// nothing rounded: a FAT of 12, 16 or 32 bits; clusters of a power of two up to 64 KiB and a whole
// number of sectors; 1 to 65535 root entries that fill whole sectors (a formatter would round the
// rest up); one or two FATs; no flags but the known ones. Both backends' formatters refuse other
// options with 87 before touching the volume.
bool AreFormatOptions(std::uint32_t bytesPerSector, const platform::FormatOptions& options);

}  // namespace velkor::shared
