#include "velkor-device/DeviceReport.h"
#include "velkor-device/FileDigest.h"

#include "backend/shared/HexOrDecimal.h"
#include "backend/shared/flash/FlashRegion.h"
#include "mainwnd/AutoUpdateDetection.h"
#include "mainwnd/CSettingsFile.h"
#include "mainwnd/CUpdateDialog.h"
#include "mainwnd/SettingsEntries.h"
#include "mainwnd/StorageCardSearch.h"
#include "platform/DeviceText.h"
#include "platform/RegistryKey.h"
#include "platform/StoreProfiles.h"
#include "backend/sim/DeviceConfig.h"
#include "backend/sim/DeviceFiles.h"
#include "backend/sim/storage/FatJsonFields.h"
#include "velkor-device/ReportLines.h"
#include "velkor-device/TrustReport.h"


#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <array>
#include <deque>
#include <fstream>
#include <vector>

namespace velkor::device_tool {
namespace {

namespace fs = std::filesystem;
using platform::ToUtf8;

constexpr std::size_t kRegistryNameChars = 260;
constexpr std::size_t kRegistryValueBytes = 520;
constexpr std::size_t kRecentEventCount = 10;
constexpr std::string_view kFlashImageExtension = ".bin";

struct LanguageName {
    std::uint16_t id;
    std::string_view name;
};
constexpr std::array<LanguageName, 1> kLanguageNames{{{0x0804, "Chinese (PRC)"}}};

std::string Quoted(const std::optional<std::u16string>& text) {
    return text ? fmt::format("\"{}\"", ToUtf8(*text)) : "(none)";
}

// The labels of the settings file's entries: each row's flag, then its path when it has one.
std::vector<std::string> SettingsEntryLabels() {
    std::vector<std::string> labels;
    const update::UpdateSettings rows;
    for (const update::ImageKind kind : mainwnd::kSettingsFileOrder) {
        labels.push_back(fmt::format("{} flag", update::ImageKindName(kind)));
        if (rows.Path(kind)) {
            labels.push_back(fmt::format("{} path", update::ImageKindName(kind)));
        }
    }
    return labels;
}

// "bytesPerSector 512, sectorsPerCluster 4, ...", named as in device.json.
std::string FatParametersText(const shared::FatParameters& fat) {
    std::vector<std::string> parameters;
    for (const sim::FatJsonField& named : sim::kFatJsonFields) {
        parameters.push_back(fmt::format("{} {}", named.key, fat.*named.field.member));
    }
    return fmt::format("{}", fmt::join(parameters, ", "));
}

std::vector<fs::path> FlashImages(const fs::path& folder) {
    std::vector<fs::path> images;
    std::error_code failure;
    for (fs::directory_iterator entries(folder, failure), end; !failure && entries != end; entries.increment(failure)) {
        // A link is not the device's own region: nothing outside the device is read.
        if (entries->symlink_status().type() == fs::file_type::regular &&
            entries->path().extension() == kFlashImageExtension) {
            images.push_back(entries->path());
        }
    }
    std::sort(images.begin(), images.end());
    return images;
}

std::deque<std::string> LastLines(const fs::path& file, std::size_t count) {
    std::deque<std::string> lines;
    std::ifstream in(file, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(std::move(line));
        if (lines.size() > count) {
            lines.pop_front();
        }
    }
    return lines;
}

}  // namespace

DeviceReport::DeviceReport(fs::path directory)
    : directory_(std::move(directory)),
      device_(directory_),
      platform_(device_.platform()),
      storageCard_(mainwnd::FindStorageCard(platform_.registry, platform_.fileSystem)) {}

void DeviceReport::Print(std::ostream& out) {
    constexpr std::array kParts{
        &DeviceReport::PrintDirectory,       &DeviceReport::PrintScreen,       &DeviceReport::PrintLanguage,
        &DeviceReport::PrintStorageProfiles, &DeviceReport::PrintStores,       &DeviceReport::PrintStorageCard,
        &DeviceReport::PrintAutoUpdate,      &DeviceReport::PrintSettingsFile, &DeviceReport::PrintFlashRegions,
        &DeviceReport::PrintRegionSizes,     &DeviceReport::PrintTrust,        &DeviceReport::PrintPrograms,
        &DeviceReport::PrintRecentEvents,
    };
    for (const auto part : kParts) {
        (this->*part)(out);
    }
}

void DeviceReport::PrintDirectory(std::ostream& out) { Line(out, "Device", fs::absolute(directory_).string()); }

void DeviceReport::PrintScreen(std::ostream& out) {
    const platform::ScreenSize screen = platform_.system.GetScreenSize();
    Line(out, "Screen", fmt::format("{} x {}", screen.width, screen.height));
}

void DeviceReport::PrintLanguage(std::ostream& out) {
    const std::uint16_t id = platform_.system.GetDefaultLanguageId();
    const auto known = std::find_if(kLanguageNames.begin(), kLanguageNames.end(),
                                    [&](const LanguageName& language) { return language.id == id; });
    const std::string name = known != kLanguageNames.end() ? fmt::format(" {}", known->name) : "";
    Line(out, "Language", shared::LanguageIdText(id) + name);
}

void DeviceReport::PrintStorageProfiles(std::ostream& out) {
    const platform::RegistryKey profiles(platform_.registry, platform::kProfilesKey);
    std::vector<std::u16string> names;
    for (std::uint32_t index = 0; const auto name = profiles.SubkeyName(index, kRegistryNameChars); ++index) {
        names.push_back(*name);
    }
    Line(out, "Storage profiles", names.empty() ? "none" : "");
    for (const std::u16string& name : names) {
        const platform::RegistryKey profile(platform_.registry, std::u16string(platform::kProfilesKey) + name);
        const bool ownFlash = platform::IsFlashProfile(name);
        Detail(out, fmt::format("{:<12} Name {:<18} Folder {}{}", ToUtf8(name),
                                Quoted(profile.StringValue(u"Name", kRegistryValueBytes)),
                                Quoted(profile.StringValue(u"Folder", kRegistryValueBytes)),
                                ownFlash ? "  (the device's own flash store)" : ""));
    }
}

void DeviceReport::PrintStores(std::ostream& out) {
    const std::vector<sim::StoreConfig>& stores = device_.config().stores;
    Line(out, "Stores", stores.empty() ? "none" : "");
    for (const sim::StoreConfig& store : stores) {
        Detail(out, fmt::format("{:<12} profile {}", ToUtf8(store.deviceName), ToUtf8(store.profile)));
        for (const sim::PartitionConfig& partition : store.partitions) {
            Detail(out, fmt::format("  {:<10} {} in {}: {}", ToUtf8(partition.name), ToUtf8(partition.volume),
                                    ToUtf8(partition.folder), FatParametersText(partition.fat)));
        }
    }
}

void DeviceReport::PrintStorageCard(std::ostream& out) {
    Line(out, "Storage card", storageCard_.empty() ? "none" : ToUtf8(storageCard_));
}

void DeviceReport::PrintAutoUpdate(std::ostream& out) {
    if (storageCard_.empty()) {
        Line(out, "Auto update", "no storage card");
        return;
    }
    const std::u16string folder = platform::Format(u"%s\\%s\\", storageCard_, mainwnd::kAutoUpdateFolder);
    update::UpdateSettings found;
    if (!mainwnd::DetectAutoUpdate(platform_.fileSystem, folder, found)) {
        Line(out, "Auto update", fmt::format("no images in {}", ToUtf8(folder)));
        return;
    }
    Line(out, "Auto update", fmt::format("images in {}", ToUtf8(folder)));
    for (const update::ImageKind kind : mainwnd::kSettingsFileOrder) {
        const std::u16string* path = found.Path(kind);
        if (found.Enabled(kind)) {
            Detail(out, fmt::format("{:<6} {}", update::ImageKindName(kind), path ? ToUtf8(*path) : "(enabled)"));
        }
    }
}

void DeviceReport::PrintSettingsFile(std::ostream& out) {
    const std::string path = ToUtf8(mainwnd::kSettingsPath);
    if (platform_.fileSystem.GetAttributes(mainwnd::kSettingsPath) == platform::kInvalidFileAttributes) {
        Line(out, "Settings file", fmt::format("{}: no such file", path));
        return;
    }
    platform::StringArray entries;
    mainwnd::CSettingsFile(platform_.fileSystem, std::u16string(mainwnd::kSettingsPath)).ReadEntries(entries);
    if (entries.Count() < mainwnd::kSettingsEntryCount) {
        Line(out, "Settings file",
             fmt::format("{}: ignored, only {} entries; {} are needed", path, entries.Count(),
                         mainwnd::kSettingsEntryCount));
        return;
    }
    Line(out, "Settings file", path);
    const std::vector<std::string> labels = SettingsEntryLabels();
    for (std::size_t index = 0; index < entries.Count(); ++index) {
        const std::string label = index < labels.size() ? labels[index] : fmt::format("entry {} ignored", index + 1);
        Detail(out, fmt::format("{:<18}\"{}\"", label, ToUtf8(entries.At(index))));
    }
}

void DeviceReport::PrintFlashRegions(std::ostream& out) {
    const std::vector<fs::path> images = FlashImages(directory_ / sim::device_files::kFlash);
    Line(out, "Flash regions", images.empty() ? "none written yet" : "");
    for (const fs::path& image : images) {
        std::error_code failure;
        Detail(out, fmt::format("{:<10} {:>10} bytes  sha256 {}", image.filename().string(),
                                fs::file_size(image, failure), Sha256Of(image)));
    }
}

void DeviceReport::PrintRegionSizes(std::ostream& out) {
    std::vector<std::string> sizes;
    for (const shared::FlashRegionInfo& region : shared::kFlashRegions) {
        sizes.push_back(
            fmt::format("{} {}", shared::RegionFileName(region), device_.config().flashRegions[region.region]));
    }
    Line(out, "Region sizes", fmt::format("{} bytes", fmt::join(sizes, ", ")));
}

void DeviceReport::PrintPrograms(std::ostream& out) {
    const std::vector<sim::ProgramConfig>& programs = device_.config().programs;
    Line(out, "Programs", programs.empty() ? "none" : "");
    for (const sim::ProgramConfig& program : programs) {
        Detail(out, fmt::format("{:<10} {:<28} on a command: {}", program.processId, ToUtf8(program.executable),
                                sim::CommandEffectText(program.onCommand)));
        for (const sim::WindowConfig& window : program.windows) {
            Detail(out, fmt::format("  window {}, {}", window.visible ? "visible" : "hidden",
                                    window.owned ? "owned" : "not owned"));
        }
    }
}

void DeviceReport::PrintTrust(std::ostream& out) {
    const sim::DeviceConfig& config = device_.config();
    const TrustPlaces places{
        config.trust ? (directory_ / config.trust->keyring).string() : std::string(),
        config.slotGroup.Empty() ? (directory_ / sim::device_files::kInstalledRecord).string() : "the boot environment"};
    for (const std::string& problem : device_tool::PrintTrust(out, platform_.trust,
                                                              [this] { return platform_.system.GetLastError(); }, places)) {
        Detail(out, "Problem: " + problem);
    }
}

void DeviceReport::PrintRecentEvents(std::ostream& out) {
    const std::deque<std::string> lines = LastLines(directory_ / sim::device_files::kEventsLog, kRecentEventCount);
    Line(out, "Recent events", lines.empty() ? "none" : "");
    for (const std::string& line : lines) {
        Detail(out, line);
    }
}

}  // namespace velkor::device_tool
