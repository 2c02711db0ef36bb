#include "backend/shared/storage/FatRecords.h"

#include "backend/shared/storage/FatLayout.h"
#include "platform/LittleEndian.h"

#include <initializer_list>
#include <span>

namespace velkor::shared {
namespace {

constexpr std::uint32_t kWordBytes = 4;

void PutWords(std::span<std::uint8_t> bytes, std::initializer_list<std::uint32_t> words) {
    std::uint32_t offset = 0;
    for (const std::uint32_t word : words) {
        platform::WriteLittleEndian(bytes, offset, word, kWordBytes);
        offset += kWordBytes;
    }
}

std::uint32_t Cylinders(const DiskGeometry& disk) {
    const std::uint64_t sectorsPerCylinder = std::uint64_t{disk.heads} * disk.sectorsPerTrack;
    return sectorsPerCylinder != 0 ? static_cast<std::uint32_t>(disk.totalSectors / sectorsPerCylinder) : 0;
}

}  // namespace

platform::DiskInfo DiskInfoRecord(const DiskGeometry& disk) {
    platform::DiskInfo record{};
    PutWords(record, {disk.totalSectors, disk.bytesPerSector, Cylinders(disk), disk.heads, disk.sectorsPerTrack, 0});
    return record;
}

platform::DiskInfo DiskInfoRecord(const FatParameters& fat) {
    return DiskInfoRecord(DiskGeometry{fat.totalSectors, fat.bytesPerSector, fat.heads, fat.sectorsPerTrack});
}

VolumeParametersRecord MakeVolumeParametersRecord(const FatParameters& fat) {
    VolumeParametersRecord record{};
    const std::span<std::uint8_t> block =
        std::span(record).subspan(kBiosParameterBlockOffset, kBiosParameterBlockBytes);
    for (const FatField& field : kFatFields) {
        if (field.offset) {
            platform::WriteLittleEndian(block, *field.offset, fat.*field.member, field.bytes);
        }
    }
    const bool small = fat.totalSectors < (1U << (8 * kSmallTotalBytes));
    platform::WriteLittleEndian(block, kSmallTotalOffset, small ? fat.totalSectors : 0, kSmallTotalBytes);
    platform::WriteLittleEndian(block, kLargeTotalOffset, small ? 0 : fat.totalSectors, kLargeTotalBytes);
    return record;
}

FreeSpaceRecord MakeFreeSpaceRecord(const FatParameters& fat, std::uint32_t freeClusters) {
    FreeSpaceRecord record{};
    PutWords(record, {fat.sectorsPerCluster, fat.bytesPerSector, freeClusters, DataClusters(fat)});
    return record;
}

}  // namespace velkor::shared
