#include "velkor-device/TargetReport.h"

#include "backend/board/flash/SlotLayout.h"
#include "backend/shared/slots/BootedSlot.h"
#include "backend/shared/slots/UbootEnvironment.h"

#include "backend/shared/DeviceError.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/FlashDeviceNames.h"
#include "backend/shared/RegFileParser.h"
#include "backend/shared/flash/FlashRegion.h"
#include "backend/shared/storage/FatLayout.h"
#include "platform/DeviceText.h"
#include "backend/board/TargetConfigReader.h"
#include "backend/board/flash/BlockDevice.h"
#include "backend/board/flash/StorageId.h"
#include "backend/board/flash/UnlinkedPath.h"
#include "backend/board/storage/PartitionDevice.h"
#include "backend/shared/CardApproval.h"
#include "backend/shared/DeviceTrustService.h"
#include "backend/shared/EventLog.h"
#include "backend/shared/ReleaseRecord.h"
#include "velkor-device/ReportLines.h"
#include "velkor-device/TrustReport.h"

#include <fmt/format.h>
#include <fmt/std.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace velkor::device_tool {
namespace {

namespace fs = std::filesystem;
using platform::ToUtf8;

constexpr std::uint64_t kMebibyte = 1024 * 1024;

std::string SizeText(std::uint64_t bytes) {
    return bytes % kMebibyte == 0 ? fmt::format("{} MiB", bytes / kMebibyte) : fmt::format("{} bytes", bytes);
}

std::string CommandText(const board::CommandLine& command) {
    std::string text;
    for (const std::string& argument : command) {
        text += (text.empty() ? "" : " ") + argument;
    }
    return text.empty() ? "(none)" : text;
}

bool IsExecutable(const fs::path& path) { return ::access(path.c_str(), X_OK) == 0 && !fs::is_directory(path); }

// Where a command's program is found: as given when it names a path, otherwise on PATH.
std::optional<fs::path> FindProgram(const std::string& program) {
    if (program.find('/') != std::string::npos) {
        return IsExecutable(program) ? std::optional<fs::path>(program) : std::nullopt;
    }
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (!folder.empty() && IsExecutable(fs::path(folder) / program)) {
            return fs::path(folder) / program;
        }
    }
    return std::nullopt;
}

// What the entry at `path` says of itself: a block device's number, without its size.
board::BlockDeviceInfo Unopened(const fs::path& path) {
    struct stat status {};
    board::BlockDeviceInfo info;
    if (::stat(path.c_str(), &status) == 0) {
        info.kind = S_ISBLK(status.st_mode) ? board::PathKind::BlockDevice : board::PathKind::Other;
        info.number = {major(status.st_rdev), minor(status.st_rdev)};
    }
    return info;
}

}  // namespace

TargetReport::TargetReport(fs::path file)
    : file_(std::move(file)), config_(board::ReadTargetConfig(file_)), host_(board::HostView::Current()) {}

void TargetReport::Print(std::ostream& out) {
    Line(out, "Target file", fs::absolute(file_).string());
    PrintRegistry(out);
    PrintFolders(out);
    PrintFlashRegions(out);
    PrintStores(out);
    PrintPrograms(out);
    PrintCommands(out);
    PrintTrust(out);
    Line(out, "Logs", fmt::format("{}{}", config_.logFolder.string(),
                                  config_.debugLog.empty() ? "" : ", debug output also in " + config_.debugLog.string()));
    Line(out, "Problems", problems_.empty() ? "none" : "");
    for (const std::string& problem : problems_) {
        Detail(out, problem);
    }
}

void TargetReport::PrintRegistry(std::ostream& out) {
    try {
        const shared::RegistryTree tree =
            shared::RegFileParser::Parse(board::ReadTargetText(config_.registry, "registry"), config_.registry.string());
        std::string names;
        for (const std::u16string& name : shared::FlashDeviceNames(tree)) {
            names += (names.empty() ? "" : ", ") + ToUtf8(name);
        }
        Line(out, "Registry", fmt::format("{}, the flash driver as {}", config_.registry.string(), names));
    } catch (const shared::DeviceError& failure) {
        Line(out, "Registry", config_.registry.string());
        Problem("registry", failure.what());
    }
}

void TargetReport::PrintFolders(std::ostream& out) {
    Line(out, "Folders", "");
    for (const board::FolderMapping& folder : config_.folders) {
        std::error_code failure;
        const bool present = fs::is_directory(folder.host, failure);
        Detail(out, fmt::format("\\{:<16}{} ({})", ToUtf8(folder.name), folder.host.string(),
                                present ? "a folder" : "not a folder"));
        if (!present) {
            Problem(fmt::format("folders[{}]", ToUtf8(folder.name)), fmt::format("{} is not a folder", folder.host));
        }
    }
}

void TargetReport::PrintFlashRegions(std::ostream& out) {
    const std::optional<shared::Slot> booted = PrintBootSide(out);
    Line(out, "Flash regions", "");
    for (const shared::FlashRegionInfo& region : shared::kFlashRegions) {
        if (config_.slotGroup.Contains(region.region)) {
            PrintSlots(out, region, booted);
            continue;
        }
        const fs::path& device = config_.flashRegions[static_cast<std::size_t>(region.region)];
        const std::string field = fmt::format("flashRegions.{}", region.name);
        if (device.empty()) {
            Detail(out, fmt::format("{:<5} 0x{:08X}  none: the device has no {} region, so its row fails",
                                    region.name, region.controlCode, region.name));
            continue;
        }
        Detail(out, fmt::format("{:<5} 0x{:08X}  {}: {}", region.name, region.controlCode, device.string(),
                                DescribeDevice(device, field)));
        CheckUse(device, field, board::OwnMounts::Count);
    }
}

void TargetReport::PrintSlots(std::ostream& out, const shared::FlashRegionInfo& region,
                              std::optional<shared::Slot> booted) {
    const auto index = static_cast<std::size_t>(region.region);
    for (const shared::Slot slot : shared::kSlots) {
        const fs::path& device = slot == shared::Slot::A ? config_.flashRegions[index] : config_.secondSlots[index];
        const std::string field = fmt::format("flashRegions.{}.slots[{}]", region.name, static_cast<int>(slot));
        const bool running = booted == slot;
        Detail(out, fmt::format("{:<5} 0x{:08X}  slot {} {}: {}{}", region.name, region.controlCode,
                                shared::SlotLetter(slot), device.string(), DescribeDevice(device, field),
                                running ? ", the booted slot" : ""));
        // The booted slot holds the running system: it is read from, never written.
        if (!running) {
            CheckUse(device, field, board::OwnMounts::Count);
        }
    }
}

std::optional<shared::Slot> TargetReport::PrintBootSide(std::ostream& out) {
    if (config_.slotGroup.Empty()) {
        return std::nullopt;
    }
    const shared::EnvironmentCopies& copies = config_.bootSide.environment;
    Line(out, "Boot environment", "");
    for (const shared::EnvironmentCopy& copy : copies) {
        Detail(out, fmt::format("{} at offset 0x{:X}, 0x{:X} bytes", copy.device.string(), copy.offset, copy.size));
    }
    for (const std::string& problem : board::SlotLayoutProblems(config_)) {
        problems_.push_back(problem);
    }
    std::optional<shared::Slot> booted;
    try {
        const shared::BootState state = shared::UbootEnvironment(copies).Read();
        Detail(out, fmt::format("BOOT_ORDER=\"{}\" BOOT_A_LEFT={} BOOT_B_LEFT={}", state.OrderText(),
                                state.TriesLeft(shared::Slot::A), state.TriesLeft(shared::Slot::B)));
        booted = shared::ReadBootedSlot(config_.bootSide.commandLine);
        Detail(out, booted ? fmt::format("slot {} booted ({})", shared::SlotLetter(*booted),
                                         config_.bootSide.commandLine.string())
                           : fmt::format("no booted slot named in {}", config_.bootSide.commandLine.string()));
    } catch (const shared::DeviceError& failure) {
        Problem("bootEnvironment", failure.what());
    }
    return booted;
}

void TargetReport::PrintStores(std::ostream& out) {
    Line(out, "Stores", config_.stores.empty() ? "none" : "");
    for (const board::StoreTarget& store : config_.stores) {
        Detail(out, fmt::format("{} ({})", ToUtf8(store.deviceName), ToUtf8(store.profile)));
        for (const board::PartitionTarget& partition : store.partitions) {
            const std::string field = fmt::format("stores[{}].partitions[{}]", ToUtf8(store.deviceName),
                                                  ToUtf8(partition.name));
            Detail(out, fmt::format("  {} as {} on {}: {}; {}", ToUtf8(partition.name), ToUtf8(partition.volume),
                                    partition.mountPoint.string(), partition.device.string(),
                                    DescribeDevice(partition.device, field) + ", " +
                                        DescribeVolume(partition.device, field)));
            CheckUse(partition.device, field, board::OwnMounts::Ignore);
            for (std::size_t index = 0; index < config_.flashRegions.size(); ++index) {
                std::error_code failure;
                if (!config_.flashRegions[index].empty() &&
                    fs::equivalent(partition.device, config_.flashRegions[index], failure)) {
                    Problem(field, fmt::format("{} is also the {} flash region", partition.device,
                                               shared::kFlashRegions[index].name));
                }
            }
        }
    }
}

void TargetReport::PrintPrograms(std::ostream& out) {
    Line(out, "Programs", config_.programs.empty() ? "none" : "");
    for (const board::ProgramMapping& program : config_.programs) {
        const bool found = IsExecutable(program.executable);
        Detail(out, fmt::format("{:<24}{} ({})", ToUtf8(program.devicePath), program.executable.string(),
                                found ? "executable" : "not an executable"));
        if (!found) {
            Problem(fmt::format("programs[{}]", ToUtf8(program.devicePath)),
                    fmt::format("{} is not an executable", program.executable));
        }
    }
}

void TargetReport::PrintCommands(std::ostream& out) {
    Line(out, "Commands", "");
    const std::array<std::pair<std::string_view, const board::CommandLine*>, 4> commands{{
        {"mount", &config_.commands.mount},
        {"unmount", &config_.commands.unmount},
        {"restart", &config_.commands.restart},
        {"coreService", &config_.commands.coreService},
    }};
    for (const auto& [name, command] : commands) {
        const std::optional<fs::path> program = command->empty() ? std::nullopt : FindProgram(command->front());
        Detail(out, fmt::format("{:<12}{}{}", name, CommandText(*command),
                                program ? fmt::format(" ({})", program->string()) : ""));
        if (!command->empty() && !program) {
            Problem(fmt::format("commands.{}", name), fmt::format("{} is not found", command->front()));
        }
    }
}

void TargetReport::PrintTrust(std::ostream& out) {
    shared::ErrorState errors;
    // Reading writes no events: a log without a path takes no lines.
    shared::EventLog noEvents{fs::path()};
    shared::CardApproval approval;
    shared::UbootEnvironment environment(config_.bootSide.environment);
    const fs::path recordFile = config_.trust ? config_.trust->installedRecord : fs::path();
    shared::ReleaseRecord record(config_.slotGroup, environment, recordFile, approval, errors, noEvents,
                                 [](std::string_view) {});
    shared::DeviceTrustService trust(config_.trust, approval, record, errors, noEvents,
                                     [](std::uint32_t) { return std::optional<std::uint64_t>(); });
    const TrustPlaces places{config_.trust ? config_.trust->keyring.string() : std::string(),
                             config_.slotGroup.Empty() ? recordFile.string() : "the boot environment"};
    for (const std::string& problem : device_tool::PrintTrust(out, trust, [&] { return errors.Last(); }, places)) {
        Problem("trust", problem);
    }
}

std::string TargetReport::DescribeDevice(const fs::path& path, std::string_view field) {
    std::optional<board::BlockDeviceInfo> info = board::ExaminePath(path);
    if (!info) {
        // What cannot be opened is still told by its own entry, so that a device the system keeps to
        // itself is not mistaken for a missing one.
        const int openError = errno;
        Problem(field, fmt::format("{} cannot be opened: {}", path, std::strerror(openError)));
        info = Unopened(path);
    }
    if (info->kind == board::PathKind::Missing) {
        Problem(field, fmt::format("{} does not exist", path));
        return "missing";
    }
    if (info->kind == board::PathKind::RegularFile) {
        const shared::UniqueFd unlinked = board::OpenWithoutLinks(path, O_RDONLY);
        if (!unlinked.IsValid() && errno == ELOOP) {
            Problem(field, fmt::format("{} is reached through a link: the flash driver refuses to write it", path));
        }
        return fmt::format("a file of {}", SizeText(info->sizeBytes));
    }
    if (info->kind != board::PathKind::BlockDevice) {
        Problem(field, fmt::format("{} is neither a block device nor a file", path));
        return "neither a block device nor a file";
    }
    const std::string text = info->sectorBytes == 0 ? std::string("a block device")
                                                    : fmt::format("a block device of {}, {}-byte sectors",
                                                                  SizeText(info->sizeBytes), info->sectorBytes);
    const bool mounted = host_ && board::IsMounted(info->number, *host_);
    return text + (mounted ? ", mounted" : ", not mounted");
}

void TargetReport::CheckUse(const fs::path& path, std::string_view field, board::OwnMounts own) {
    const std::optional<board::StorageId> id = board::StorageId::OfPath(path);
    if (!id) {
        return;  // told already
    }
    if (!host_) {
        Problem(field, "the mount table cannot be read, so nothing says the device is free");
        return;
    }
    const board::StorageUse use = board::UseOf({*id, path.string()}, *host_, own);
    if (use.kind != board::UseKind::Free) {
        Problem(field, fmt::format("{}: {} refuses to write it", use.detail,
                                   own == board::OwnMounts::Count ? "the flash driver" : "the format"));
    }
}

std::string TargetReport::DescribeVolume(const fs::path& device, std::string_view field) {
    shared::ErrorState errors;
    const std::optional<board::FirstSector> sector = board::ReadFirstSector(device, errors);
    const std::optional<shared::FatParameters> fat = sector ? shared::ReadBootSector(*sector) : std::nullopt;
    if (!fat) {
        Problem(field, fmt::format("{} holds no FAT volume", device));
        return "no FAT volume";
    }
    const std::uint32_t clusters = shared::DataClusters(*fat);
    const std::uint32_t bits = clusters <= shared::FindFatVersion(12)->maxClusters ? 12 : 16;
    return fmt::format("FAT{}, {}-byte clusters, {} root entries, {} FATs, {} clusters", bits,
                       shared::ClusterBytes(*fat), fat->rootEntries, fat->fats, clusters);
}

void TargetReport::Problem(std::string_view field, std::string_view text) {
    problems_.push_back(fmt::format("{}: {}", field, text));
}

}  // namespace velkor::device_tool
