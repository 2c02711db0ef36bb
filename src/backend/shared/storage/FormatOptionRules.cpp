#include "backend/shared/storage/FormatOptionRules.h"

#include "backend/shared/storage/FatLayout.h"

#include <bit>
#include <limits>

namespace velkor::shared {
namespace {

constexpr std::uint32_t kMaxClusterBytes = 64 * 1024;
constexpr std::uint32_t kKnownFlags = platform::kFormatFull | platform::kFormatTransactionSafeFat;
constexpr std::uint32_t kMaxFats = 2;

}  // namespace

bool AreFormatOptions(std::uint32_t bytesPerSector, const platform::FormatOptions& options) {
    if (bytesPerSector == 0) {
        return false;
    }
    const std::uint32_t clusterBytes = options.clusterBytes;
    const bool clusterFits = std::has_single_bit(clusterBytes) && clusterBytes <= kMaxClusterBytes &&
                             clusterBytes % bytesPerSector == 0;
    // Checked against 16 bits first, so that the product below cannot overflow.
    const bool rootFits = options.rootEntries > 0 && options.rootEntries <= std::numeric_limits<std::uint16_t>::max() &&
                          options.rootEntries * kDirectoryEntryBytes % bytesPerSector == 0;
    const bool fatsFit = options.numberOfFats >= 1 && options.numberOfFats <= kMaxFats;
    return FindFatVersion(options.fatVersion) != nullptr && clusterFits && rootFits && fatsFit &&
           (options.flags & ~kKnownFlags) == 0;
}

}  // namespace velkor::shared
