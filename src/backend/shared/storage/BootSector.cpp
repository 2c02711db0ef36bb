#include "backend/shared/storage/BootSector.h"

#include <bit>

namespace velkor::shared {
namespace {

constexpr std::size_t kSignatureOffset = 510;
constexpr std::uint8_t kSignature[] = {0x55, 0xAA};
constexpr std::uint32_t kMinSectorBytes = 512;
constexpr std::uint32_t kMaxSectorBytes = 4096;

std::uint32_t ReadField(std::span<const std::uint8_t> block, std::uint32_t offset, std::uint32_t bytes) {
    std::uint32_t value = 0;
    for (std::uint32_t index = 0; index < bytes; ++index) {
        value |= std::uint32_t{block[offset + index]} << (8 * index);
    }
    return value;
}

FatParameters ReadParameterBlock(std::span<const std::uint8_t> block) {
    FatParameters fat;
    for (const FatField& field : kFatFields) {
        if (field.offset) {
            fat.*field.member = ReadField(block, *field.offset, field.bytes);
        }
    }
    const std::uint32_t smallTotal = ReadField(block, kSmallTotalOffset, kSmallTotalBytes);
    fat.totalSectors = smallTotal != 0 ? smallTotal : ReadField(block, kLargeTotalOffset, kLargeTotalBytes);
    return fat;
}

bool IsDescribableLayout(const FatParameters& fat) {
    const bool sectorFits = std::has_single_bit(fat.bytesPerSector) && fat.bytesPerSector >= kMinSectorBytes &&
                            fat.bytesPerSector <= kMaxSectorBytes;
    return sectorFits && std::has_single_bit(fat.sectorsPerCluster) && fat.reservedSectors != 0 && fat.fats != 0 &&
           fat.totalSectors != 0 && fat.sectorsPerFat != 0;
}

}  // namespace

std::optional<FatParameters> ReadBootSector(std::span<const std::uint8_t, kBootSectorBytes> sector) {
    if (sector[kSignatureOffset] != kSignature[0] || sector[kSignatureOffset + 1] != kSignature[1]) {
        return std::nullopt;
    }
    const FatParameters fat =
        ReadParameterBlock(sector.subspan(kBootSectorParameterBlockOffset, kBiosParameterBlockBytes));
    if (!IsDescribableLayout(fat)) {
        return std::nullopt;
    }
    return fat;
}

}  // namespace velkor::shared
