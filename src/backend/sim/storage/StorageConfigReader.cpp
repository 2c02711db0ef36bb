#include "backend/sim/storage/StorageConfigReader.h"

#include "backend/shared/NameList.h"
#include "backend/shared/PathResolver.h"
#include "backend/sim/storage/FatJsonFields.h"

#include <fmt/format.h>

#include <array>
#include <string_view>

namespace velkor::sim {
namespace {

using nlohmann::json;

constexpr std::string_view kPlainName = "a plain folder name: no separators, \"..\" or any of :*?\"<>|";
constexpr std::u16string_view kVolumePrefix = u"\\";

struct NameListFault {
    std::string_view key;
    std::vector<std::u16string> StorageFaults::*member;
    std::string_view expected;
};
constexpr std::array<NameListFault, 4> kNameListFaults{{
    {"storeOpenFails", &StorageFaults::storeOpenFails, "a list of store device names (strings)"},
    {"partitionSearchFails", &StorageFaults::partitionSearchFails, "a list of store device names (strings)"},
    {"partitionOpenFails", &StorageFaults::partitionOpenFails, "a list of store device names (strings)"},
    {"volumeDeviceAbsent", &StorageFaults::volumeDeviceAbsent, "a list of volume names (strings)"},
}};

struct SwitchFault {
    std::string_view key;
    bool StorageFaults::*member;
};
constexpr std::array<SwitchFault, 7> kSwitchFaults{{
    {"volumeParametersShort", &StorageFaults::volumeParametersShort},
    {"freeSpaceShort", &StorageFaults::freeSpaceShort},
    {"diskInfoFails", &StorageFaults::diskInfoFails},
    {"dismountFails", &StorageFaults::dismountFails},
    {"formatLibraryMissing", &StorageFaults::formatLibraryMissing},
    {"formatEntryMissing", &StorageFaults::formatEntryMissing},
    {"formatFails", &StorageFaults::formatFails},
}};

// Refuses a name that an earlier one already took, letter case aside.
class UniqueNames {
public:
    UniqueNames(const shared::ConfigReader& reader, std::string_view expected) : reader_(reader), expected_(expected) {}

    void Add(const std::u16string& name, std::string_view fieldPath) {
        if (shared::ListsName(taken_, name)) {
            reader_.Fail(fieldPath, expected_);
        }
        taken_.push_back(name);
    }

private:
    const shared::ConfigReader& reader_;
    std::string_view expected_;
    std::vector<std::u16string> taken_;
};

bool IsPlainName(std::u16string_view name) {
    const std::vector<std::u16string> components = shared::PathResolver::SplitComponents(name);
    return components.size() == 1 && components.front() == name && shared::PathResolver::IsAcceptableName(name);
}

std::u16string ReadPlainName(const shared::ConfigReader& reader, const json& object, std::string_view field,
                             const std::string& fieldPath, std::u16string_view prefix, std::string_view expected) {
    const std::u16string name = reader.String(reader.Required(object, field, fieldPath), fieldPath);
    if (!name.starts_with(prefix) || !IsPlainName(std::u16string_view(name).substr(prefix.size()))) {
        reader.Fail(fieldPath, expected);
    }
    return name;
}

shared::FatParameters ReadFat(const shared::ConfigReader& reader, const json& partition, const std::string& partitionPath) {
    const std::string fatPath = partitionPath + ".fat";
    const json& fat = reader.Container(reader.Required(partition, "fat", fatPath), fatPath, false,
                                       "an object of the volume's FAT parameters");
    shared::FatParameters parameters;
    for (const FatJsonField& named : kFatJsonFields) {
        const shared::FatField& field = named.field;
        const std::string fieldPath = fmt::format("{}.{}", fatPath, named.key);
        const std::string expected = fmt::format("an integer from {} to {}", field.minimum, field.Maximum());
        const std::uint64_t value =
            reader.Unsigned(reader.Required(fat, named.key, fieldPath), fieldPath, field.Maximum(), expected);
        if (value < field.minimum) {
            reader.Fail(fieldPath, expected);
        }
        parameters.*field.member = static_cast<std::uint32_t>(value);
    }
    return parameters;
}

PartitionConfig ReadPartition(const shared::ConfigReader& reader, const json& item, const std::string& path) {
    const json& partition = reader.Container(item, path, false, "an object");
    PartitionConfig config;
    config.name = reader.String(reader.Required(partition, "name", path + ".name"), path + ".name");
    config.volume = ReadPlainName(reader, partition, "volume", path + ".volume", kVolumePrefix,
                                  "a backslash and a plain folder name, such as \"\\\\VKRFlash\"");
    config.folder = ReadPlainName(reader, partition, "folder", path + ".folder", u"", kPlainName);
    config.fat = ReadFat(reader, partition, path);
    return config;
}

StoreConfig ReadStore(const shared::ConfigReader& reader, const json& item, const std::string& path) {
    const json& store = reader.Container(item, path, false, "an object");
    StoreConfig config;
    config.deviceName = reader.String(reader.Required(store, "deviceName", path + ".deviceName"), path + ".deviceName");
    config.profile = reader.String(reader.Required(store, "profile", path + ".profile"), path + ".profile");
    const std::string listPath = path + ".partitions";
    UniqueNames names(reader, "a partition name that no other partition of the store has");
    for (const json& partition :
         reader.Container(reader.Required(store, "partitions", listPath), listPath, true, "a list of partitions")) {
        const std::string partitionPath = fmt::format("{}[{}]", listPath, config.partitions.size());
        config.partitions.push_back(ReadPartition(reader, partition, partitionPath));
        names.Add(config.partitions.back().name, partitionPath + ".name");
    }
    return config;
}

}  // namespace

std::vector<StoreConfig> ReadStores(const shared::ConfigReader& reader, const json& document) {
    std::vector<StoreConfig> stores;
    const json* list = shared::ConfigReader::Optional(document, "stores");
    if (!list) {
        return stores;
    }
    UniqueNames deviceNames(reader, "a device name that no other store has");
    for (const json& item : reader.Container(*list, "stores", true, "a list of stores")) {
        const std::string path = fmt::format("stores[{}]", stores.size());
        stores.push_back(ReadStore(reader, item, path));
        deviceNames.Add(stores.back().deviceName, path + ".deviceName");
    }
    return stores;
}

StorageFaults ReadStorageFaults(const shared::ConfigReader& reader, const json& faults) {
    StorageFaults switches;
    for (const NameListFault& fault : kNameListFaults) {
        switches.*fault.member = reader.List(faults, fmt::format("faults.{}", fault.key), fault.key, fault.expected,
                                             shared::ConfigReader::StringItem);
    }
    for (const SwitchFault& fault : kSwitchFaults) {
        if (const json* value = shared::ConfigReader::Optional(faults, fault.key)) {
            switches.*fault.member = reader.Boolean(*value, fmt::format("faults.{}", fault.key));
        }
    }
    return switches;
}

}  // namespace velkor::sim
