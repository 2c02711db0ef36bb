#include "backend/sim/StorageDevice.h"

#include "support/LogTexts.h"

#include <fmt/format.h>

namespace velkor::sim::test {
namespace {

std::string PartitionJson(std::string_view name, std::string_view folder, std::string_view fat) {
    return fmt::format(R"({{"name": "{}", "volume": "\\{}", "folder": "{}", "fat": {}}})", name, folder, folder, fat);
}

}  // namespace

std::string FatWith(std::string_view fat, std::string_view field, std::string_view value) {
    const std::size_t key = fat.find(fmt::format("\"{}\"", field));
    const std::size_t start = fat.find(':', key) + 2;
    const std::size_t end = fat.find_first_of(",}", start);
    return fmt::format("{}{}{}", fat.substr(0, start), value, fat.substr(end));
}

StorageDevice::StorageDevice(std::string_view faults, std::string_view bigFat)
    : temp_("[HKEY_LOCAL_MACHINE\\System\\StorageManager\\Profiles\\BinFLASH]\n\"Folder\"=\"VKRFlash\"\n") {
    temp_.Write("device.json",
                fmt::format(R"({{"screen": {{"width": 800, "height": 480}}, "languageId": 1033, "faults": {},
                               "stores": [{{"deviceName": "DSK1:", "profile": "NandFLASH", "partitions": [{}]}},
                                          {{"deviceName": "DSK2:", "profile": "BinFLASH", "partitions": [{}, {}]}}]}})",
                            faults, PartitionJson("Part00", "NandFlash", kFat12),
                            PartitionJson("Part00", "VKRFlash", kFat12), PartitionJson("Part01", "Big", bigFat)));
    sim_.emplace(temp_.Dir());
}

std::vector<std::string> StorageDevice::Events() const { return velkor::test::LogTexts(temp_.Read("events.log")); }

StorageDevice::OpenedPartition StorageDevice::OpenPartition(std::u16string_view deviceName, std::u16string_view name) {
    OpenedPartition opened{Platform().storageManager.OpenStore(deviceName), nullptr};
    if (opened.store) {
        opened.partition = opened.store->OpenPartition(name);
    }
    return opened;
}

std::unique_ptr<platform::DeviceHandle> StorageDevice::OpenDevice(std::u16string_view name) {
    return Platform().deviceIo.OpenDevice(name, platform::kGenericRead | platform::kGenericWrite,
                                          platform::kShareExclusive);
}

}  // namespace velkor::sim::test
