#pragma once

#include "platform/Platform.h"
#include "backend/sim/SimPlatform.h"
#include "backend/sim/TempDevice.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::sim::test {

// device.json's "fat" object of a FAT12 volume of 16000 sectors: 512 bytes a sector, 4 sectors a
// cluster, 1 reserved sector, 2 FATs of 12 sectors, 512 root entries, media 0xF8, 32 sectors a track
// and 2 heads. Its 3985 clusters of 2048 bytes start after sector 56.
inline constexpr std::string_view kFat12 =
    R"({"bytesPerSector": 512, "sectorsPerCluster": 4, "reservedSectors": 1, "fats": 2, "rootEntries": 512,
        "totalSectors": 16000, "media": 248, "sectorsPerFat": 12, "sectorsPerTrack": 32, "heads": 2,
        "hiddenSectors": 0})";

// A "fat" object with one field's value replaced: FatWith(kFat12, "totalSectors", "70000").
std::string FatWith(std::string_view fat, std::string_view field, std::string_view value);

// A device with two stores: DSK1: (NandFLASH) with Part00 at \NandFlash in the folder NandFlash,
// and DSK2: (BinFLASH) with Part00 at \VKRFlash in the folder VKRFlash and Part01 at \Big in the
// folder Big. Each volume is kFat12 but Big, which is `bigFat`. The BinFLASH profile names the
// folder VKRFlash, so that \VKRFlash\Vol: is the flash driver's name too.
class StorageDevice {
public:
    explicit StorageDevice(std::string_view faults = "{}", std::string_view bigFat = kFat12);

    platform::Platform& Platform() { return sim_->platform(); }
    std::uint32_t LastError() { return Platform().system.GetLastError(); }
    // Sets the last error to something no storage call answers.
    void SetLastError() { Platform().fileSystem.GetAttributes(u"C:"); }
    const TempDevice& Temp() const { return temp_; }
    // events.log's lines without their time stamps.
    std::vector<std::string> Events() const;

    // A partition with the store it was opened from, which must outlive it.
    struct OpenedPartition {
        std::unique_ptr<platform::Store> store;
        std::unique_ptr<platform::Partition> partition;
    };
    // The partition is null when the store or the partition does not open.
    OpenedPartition OpenPartition(std::u16string_view deviceName, std::u16string_view name);
    std::unique_ptr<platform::DeviceHandle> OpenDevice(std::u16string_view name);

private:
    TempDevice temp_;
    std::optional<SimPlatform> sim_;
};

}  // namespace velkor::sim::test
