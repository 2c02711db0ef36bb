#include "backend/board/TargetConfigReader.h"

#include "backend/shared/BoundedFile.h"
#include "backend/shared/ConfigReader.h"
#include "backend/shared/DeviceError.h"
#include "backend/shared/HexOrDecimal.h"
#include "backend/shared/PathResolver.h"
#include "backend/shared/TrustFields.h"
#include "backend/shared/flash/FlashRegion.h"
#include "platform/DeviceText.h"

#include <fmt/format.h>
#include <fmt/std.h>

#include <algorithm>

namespace velkor::board {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr std::string_view kHostPath = "a non-empty host path";

struct CommandField {
    std::string_view name;
    CommandLine TargetCommands::*member;
    bool mayBeEmpty;
};
constexpr std::array<CommandField, 4> kCommandFields{{
    {"mount", &TargetCommands::mount, false},
    {"unmount", &TargetCommands::unmount, false},
    {"restart", &TargetCommands::restart, false},
    {"coreService", &TargetCommands::coreService, true},
}};

// How host folders are compared for overlaps: as written, or with the links on the machine resolved.
enum class FolderSpelling { AsWritten, LinksResolved };

// A host folder without a trailing separator, so that its components compare with another's.
fs::path FolderPath(const fs::path& folder, FolderSpelling spelling) {
    fs::path spelled = folder.lexically_normal();
    if (spelling == FolderSpelling::LinksResolved) {
        std::error_code failure;
        // A folder that cannot be looked at is compared as written.
        fs::path resolved = fs::weakly_canonical(spelled, failure);
        spelled = failure ? spelled : std::move(resolved);
    }
    return spelled.has_filename() ? spelled : spelled.parent_path();
}

// Whether one folder is the other or lies inside it.
bool Overlap(const fs::path& first, const fs::path& second) {
    const auto [firstEnd, secondEnd] = std::mismatch(first.begin(), first.end(), second.begin(), second.end());
    return firstEnd == first.end() || secondEnd == second.end();
}

// Reads the fields of one target file, anchoring relative host paths at its folder.
class TargetFileReader {
public:
    explicit TargetFileReader(const fs::path& file)
        : sourceName_(file.string()), reader_(sourceName_), folder_(fs::absolute(file).parent_path()) {}

    TargetConfig Read(std::string_view text, FolderSpelling spelling) const {
        const json document = reader_.Document(text);
        TargetConfig config;
        config.registry = HostPath(reader_.Required(document, "registry", "registry"), "registry");
        if (const json* id = shared::ConfigReader::Optional(document, "languageId")) {
            config.languageId = reader_.LanguageId(*id, "languageId");
        }
        config.folders = Folders(reader_.Required(document, "folders", "folders"));
        FlashRegions(reader_.Required(document, "flashRegions", "flashRegions"), config);
        if (!config.slotGroup.Empty()) {
            config.bootSide = BootSide(reader_.Required(document, "bootEnvironment", "bootEnvironment"));
        }
        config.stores = reader_.List(document, "stores", "stores", "a list of stores",
                                     [&](const json& store) { return std::optional(Store(store)); });
        config.programs = Programs(document);
        config.commands = Commands(document);
        config.logFolder = HostPath(reader_.Required(document, "log", "log"), "log");
        if (const json* debugLog = shared::ConfigReader::Optional(document, "debugLog")) {
            config.debugLog = HostPath(*debugLog, "debugLog");
        }
        AddVolumeFolders(config);
        RefuseOverlaps(config.folders, spelling);
        config.trust = Trust(document, config);
        return config;
    }

private:
    fs::path HostPath(const json& value, std::string_view fieldPath) const {
        if (!value.is_string() || value.get<std::string>().empty()) {
            reader_.Fail(fieldPath, kHostPath);
        }
        return (folder_ / value.get<std::string>()).lexically_normal();
    }

    // A top-level folder's name: one device path component.
    std::u16string FolderName(std::string_view name, std::string_view fieldPath) const {
        const std::u16string folder = platform::FromUtf8(name);
        if (folder.empty() || folder.find_first_of(u"\\/") != std::u16string::npos ||
            !shared::PathResolver::IsAcceptableName(folder)) {
            reader_.Fail(fieldPath, "named by one device folder name, such as \"StorageCard\"");
        }
        return folder;
    }

    std::vector<FolderMapping> Folders(const json& folders) const {
        std::vector<FolderMapping> mappings;
        for (const auto& [name, hostFolder] :
             reader_.Container(folders, "folders", false, "an object of device folders and host folders").items()) {
            const std::string fieldPath = fmt::format("folders[{}]", name);
            FolderMapping mapping{FolderName(name, fieldPath), HostPath(hostFolder, fieldPath)};
            if (FindFolder(mappings, mapping.name)) {
                reader_.Fail(fieldPath, "named once, letter case aside");
            }
            mappings.push_back(std::move(mapping));
        }
        return mappings;
    }

    void FlashRegions(const json& regions, TargetConfig& config) const {
        reader_.Container(regions, "flashRegions", false, "an object naming boot, logo, os and app");
        for (const shared::FlashRegionInfo& region : shared::kFlashRegions) {
            const std::string fieldPath = fmt::format("flashRegions.{}", region.name);
            // A region the device does not have is left out; its row then fails.
            if (!regions.contains(region.name)) {
                continue;
            }
            const json& value = regions.at(region.name);
            const auto index = static_cast<std::size_t>(region.region);
            if (!value.is_object()) {
                config.flashRegions[index] = HostPath(value, fieldPath);
                continue;
            }
            if (!region.mayHaveTwoSlots) {
                reader_.Fail(fieldPath, fmt::format("a host path: the {} region is always written in place, and only "
                                                    "{} may have two slots",
                                                    region.name, shared::TwoSlotRegionNames()));
            }
            config.slotGroup.Add(region, fieldPath);
            const std::string slotsPath = fieldPath + ".slots";
            const json& slotPaths = reader_.Container(reader_.Required(value, "slots", slotsPath), slotsPath, true,
                                                      "a list of the two slots' host paths, A then B");
            if (slotPaths.size() != 2) {
                reader_.Fail(slotsPath, "a list of the two slots' host paths, A then B");
            }
            config.flashRegions[index] = HostPath(slotPaths[0], slotsPath);
            config.secondSlots[index] = HostPath(slotPaths[1], slotsPath);
        }
    }

    BootSideTarget BootSide(const json& environment) const {
        constexpr std::string_view kCopies = "bootEnvironment.copies";
        constexpr std::string_view kExpected = "a list of the environment's two copies, each with \"device\", "
                                               "\"offset\" and \"size\"";
        reader_.Container(environment, "bootEnvironment", false, "an object with \"copies\"");
        const json& copies = reader_.Container(reader_.Required(environment, "copies", kCopies), kCopies, true, kExpected);
        if (copies.size() != 2) {
            reader_.Fail(kCopies, kExpected);
        }
        BootSideTarget side;
        for (std::size_t index = 0; index < side.environment.size(); ++index) {
            side.environment[index] = EnvironmentCopy(copies[index], fmt::format("{}[{}]", kCopies, index));
        }
        if (side.environment[0].size != side.environment[1].size) {
            reader_.Fail(kCopies, "two copies of one size, the boot loader's environment size");
        }
        if (const json* commandLine = shared::ConfigReader::Optional(environment, "commandLine")) {
            side.commandLine = HostPath(*commandLine, "bootEnvironment.commandLine");
        }
        return side;
    }

    shared::EnvironmentCopy EnvironmentCopy(const json& copy, const std::string& fieldPath) const {
        reader_.Container(copy, fieldPath, false, "an object with \"device\", \"offset\" and \"size\"");
        shared::EnvironmentCopy result;
        result.device = HostPath(reader_.Required(copy, "device", fieldPath + ".device"), fieldPath + ".device");
        result.offset = ByteCount(reader_.Required(copy, "offset", fieldPath + ".offset"), fieldPath + ".offset");
        result.size = ByteCount(reader_.Required(copy, "size", fieldPath + ".size"), fieldPath + ".size");
        if (result.size == 0 || result.size > shared::kMaxEnvironmentBytes) {
            reader_.Fail(fieldPath + ".size", "a number of bytes from 1 to 16 MiB");
        }
        return result;
    }

    // A number, or a string of one in hex ("0x4000") or decimal; small enough that an offset and
    // a size added never overflow.
    std::uint64_t ByteCount(const json& value, const std::string& fieldPath) const {
        constexpr std::string_view kExpected = "a number of bytes below 2^62, or a string such as \"0x4000\"";
        constexpr std::uint64_t kMax = std::uint64_t{1} << 62;
        if (!value.is_string()) {
            return reader_.Unsigned(value, fieldPath, kMax - 1, kExpected);
        }
        const auto bytes = shared::ParseHexOrDecimal<std::uint64_t>(value.get<std::string>());
        if (!bytes || *bytes >= kMax) {
            reader_.Fail(fieldPath, kExpected);
        }
        return *bytes;
    }

    StoreTarget Store(const json& store) const {
        reader_.Container(store, "stores", false, "a list of store objects");
        StoreTarget target;
        target.deviceName = reader_.String(reader_.Required(store, "deviceName", "stores[].deviceName"),
                                           "stores[].deviceName");
        target.profile = reader_.String(reader_.Required(store, "profile", "stores[].profile"), "stores[].profile");
        target.partitions = reader_.List(store, "stores[].partitions", "partitions", "a list of partitions",
                                         [&](const json& partition) { return std::optional(Partition(partition)); });
        return target;
    }

    PartitionTarget Partition(const json& partition) const {
        constexpr std::string_view kField = "stores[].partitions";
        reader_.Container(partition, kField, false, "a list of partition objects");
        PartitionTarget target;
        target.name = reader_.String(reader_.Required(partition, "name", "stores[].partitions[].name"),
                                     "stores[].partitions[].name");
        target.volume = reader_.String(reader_.Required(partition, "volume", "stores[].partitions[].volume"),
                                       "stores[].partitions[].volume");
        if (!target.volume.starts_with(u'\\')) {
            reader_.Fail("stores[].partitions[].volume", "a device folder with its backslash, such as \"\\\\VKRFlash\"");
        }
        FolderName(platform::ToUtf8(target.volume.substr(1)), "stores[].partitions[].volume");
        target.device = HostPath(reader_.Required(partition, "device", "stores[].partitions[].device"),
                                 "stores[].partitions[].device");
        target.mountPoint = HostPath(reader_.Required(partition, "mountPoint", "stores[].partitions[].mountPoint"),
                                     "stores[].partitions[].mountPoint");
        return target;
    }

    std::vector<ProgramMapping> Programs(const json& document) const {
        std::vector<ProgramMapping> programs;
        const json* listed = shared::ConfigReader::Optional(document, "programs");
        if (!listed) {
            return programs;
        }
        for (const auto& [devicePath, executable] :
             reader_.Container(*listed, "programs", false, "an object of device paths and host executables").items()) {
            const std::string fieldPath = fmt::format("programs[{}]", devicePath);
            if (!devicePath.starts_with('\\')) {
                reader_.Fail(fieldPath, "named by a device path such as \"\\\\Windows\\\\Tirnow.exe\"");
            }
            programs.push_back({platform::FromUtf8(devicePath), HostPath(executable, fieldPath)});
        }
        return programs;
    }

    TargetCommands Commands(const json& document) const {
        TargetCommands commands;
        const json* given = shared::ConfigReader::Optional(document, "commands");
        if (!given) {
            return commands;
        }
        reader_.Container(*given, "commands", false, "an object of argument lists");
        for (const CommandField& field : kCommandFields) {
            if (const json* value = shared::ConfigReader::Optional(*given, field.name)) {
                commands.*field.member = Command(*value, field);
            }
        }
        return commands;
    }

    CommandLine Command(const json& value, const CommandField& field) const {
        const std::string fieldPath = fmt::format("commands.{}", field.name);
        const std::string_view expected =
            field.mayBeEmpty ? "a list of non-empty strings" : "a list of non-empty strings, the program first";
        CommandLine command;
        for (const json& argument : reader_.Container(value, fieldPath, true, expected)) {
            if (!argument.is_string() || argument.get<std::string>().empty()) {
                reader_.Fail(fieldPath, expected);
            }
            command.push_back(argument.get<std::string>());
        }
        if (command.empty() && !field.mayBeEmpty) {
            reader_.Fail(fieldPath, expected);
        }
        return command;
    }

    // The keyring, and the record of the installed release, which must lie outside every device
    // folder: the storage card is the operator's, and a data volume is formatted by every update. A
    // device with two-slot regions keeps its release in the boot environment and needs no record.
    std::optional<shared::TrustConfig> Trust(const json& document, const TargetConfig& config) const {
        const std::optional<shared::TrustFields> fields = shared::ReadTrustFields(reader_, document);
        if (!fields) {
            return std::nullopt;
        }
        const json& trust = document.at("trust");
        const json* recordField = config.slotGroup.Empty() ? &reader_.Required(trust, "record", "trust.record")
                                                           : shared::ConfigReader::Optional(trust, "record");
        const fs::path record = recordField ? HostPath(*recordField, "trust.record") : fs::path();
        for (const FolderMapping& folder : config.folders) {
            if (!record.empty() && IsInside(record, folder.host)) {
                reader_.Fail("trust.record", fmt::format("a host file outside the device folders, not inside {} ({})",
                                                         folder.host, platform::ToUtf8(folder.name)));
            }
        }
        return shared::TrustConfig{HostPath(json(fields->keyring), "trust.keyring"), fields->compatible,
                                   fields->validity, record};
    }

    static bool IsInside(const fs::path& file, const fs::path& folder) {
        const fs::path relative = file.lexically_relative(folder);
        return !relative.empty() && *relative.begin() != "..";
    }

    // Each partition's volume is the folder it is mounted on.
    void AddVolumeFolders(TargetConfig& config) const {
        for (const StoreTarget& store : config.stores) {
            for (const PartitionTarget& partition : store.partitions) {
                const std::u16string name = partition.volume.substr(1);
                const FolderMapping* listed = FindFolder(config.folders, name);
                if (!listed) {
                    config.folders.push_back({name, partition.mountPoint});
                } else if (listed->host != partition.mountPoint) {
                    reader_.Fail(fmt::format("folders[{}]", platform::ToUtf8(name)),
                                 fmt::format("the mount point of the partition mounted as it, {}",
                                             partition.mountPoint));
                }
            }
        }
    }

    // Two device folders over one host folder, or one inside the other, would give one file two
    // device paths: a copy from one onto the other would empty the file it reads.
    void RefuseOverlaps(const std::vector<FolderMapping>& folders, FolderSpelling spelling) const {
        std::vector<fs::path> spelled;
        for (const FolderMapping& folder : folders) {
            spelled.push_back(FolderPath(folder.host, spelling));
        }
        for (std::size_t later = 1; later < folders.size(); ++later) {
            for (std::size_t earlier = 0; earlier < later; ++earlier) {
                if (Overlap(spelled[earlier], spelled[later])) {
                    reader_.Fail(fmt::format("folders[{}]", platform::ToUtf8(folders[later].name)),
                                 fmt::format("a host folder apart from that of folders[{}], {}",
                                             platform::ToUtf8(folders[earlier].name), folders[earlier].host));
                }
            }
        }
    }

    static const FolderMapping* FindFolder(const std::vector<FolderMapping>& folders, std::u16string_view name) {
        const auto found = std::find_if(folders.begin(), folders.end(), [&](const FolderMapping& folder) {
            return platform::EqualsIgnoreCase(folder.name, name);
        });
        return found != folders.end() ? &*found : nullptr;
    }

    std::string sourceName_;
    shared::ConfigReader reader_;
    fs::path folder_;
};

}  // namespace

TargetConfig ParseTargetConfig(std::string_view text, const fs::path& file) {
    return TargetFileReader(file).Read(text, FolderSpelling::AsWritten);
}

std::string ReadTargetText(const fs::path& file, std::string_view field) {
    return shared::ReadBoundedFile(file, fmt::format("the {} file", field), shared::LinkRule::Followed);
}

TargetConfig ReadTargetConfig(const fs::path& file) {
    return TargetFileReader(file).Read(ReadTargetText(file, "target"), FolderSpelling::LinksResolved);
}

fs::path EventsLogOf(const TargetConfig& config) {
    std::error_code failure;
    fs::create_directories(config.logFolder, failure);
    if (!fs::is_directory(config.logFolder)) {
        throw shared::DeviceError(fmt::format("cannot make the log folder {}", config.logFolder));
    }
    return config.logFolder / "events.log";
}

}  // namespace velkor::board
