#include "backend/sim/DeviceInit.h"

#include "backend/shared/DeviceError.h"
#include "backend/shared/HexOrDecimal.h"
#include "backend/shared/storage/FatLayout.h"
#include "backend/shared/storage/VolumeDevice.h"
#include "backend/sim/DeviceConfig.h"
#include "backend/sim/DeviceFiles.h"
#include "backend/sim/SampleBitmap.h"
#include "backend/sim/storage/FatJsonFields.h"

#include <fmt/format.h>
#include <fmt/std.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <fstream>
#include <random>
#include <string_view>

namespace velkor::sim {
namespace {

namespace fs = std::filesystem;

// The storage card is no store of the device's own: it has neither a startup log nor a device name.
struct StorageProfile {
    std::string_view key;
    std::string_view name;
    std::string_view folder;
    std::string_view startupLog;
    std::string_view deviceName;
};
constexpr std::array<StorageProfile, 3> kProfiles{{
    {"SDMemory", "SD Memory Card", "StorageCard", "", ""},
    {"NandFLASH", "NAND Flash", "NandFlash", "NAND flash store mounted\r\n", "DSK1:"},
    {"BinFLASH", "Bin Flash", "VKRFlash", "Bin flash store mounted\r\n", "DSK2:"},
}};
constexpr std::string_view kPartitionName = "Part00";
constexpr const StorageProfile& kStorageCard = kProfiles[0];

// The registry as a new device has it, spelled apart from the program's keys on purpose: a typo in
// the program's must show, not be matched by the same typo here.
constexpr std::string_view kProfilesKey = "HKEY_LOCAL_MACHINE\\System\\StorageManager\\Profiles";
constexpr std::string_view kStartupLog = "startup.log";

struct SampleImage {
    std::string_view name;
    std::size_t bytes;
    std::uint32_t seed;
};
constexpr std::array<SampleImage, 3> kSampleImages{{
    {"NK.bin", 256 * 1024, 1},
    {"Eboot.nb0", 64 * 1024, 2},
    {"NAPP.bin", 128 * 1024, 3},
}};

struct SampleLogo {
    std::string_view name;
    Rgb firstColour;
    Rgb secondColour;
};
constexpr std::array<SampleLogo, 2> kSampleLogos{{
    {"Logo1.bmp", {0x20, 0x60, 0xC0}, {0xF0, 0xC0, 0x30}},
    {"logo2.bmp", {0x30, 0xA0, 0x40}, {0xE0, 0x40, 0x60}},
}};

// The programs that run beside the updater and that it stops before it writes the flash.
struct SiblingProgram {
    std::uint32_t processId;
    std::string_view executable;
};
constexpr std::array<SiblingProgram, 2> kSiblingPrograms{{
    {101, "\\Windows\\Tirnow.exe"},
    {102, "\\Windows\\Pavlor.exe"},
}};

void PrepareEmptyDirectory(const fs::path& dir) {
    std::error_code failure;
    if (fs::exists(dir, failure) && !(fs::is_directory(dir, failure) && fs::is_empty(dir, failure))) {
        throw shared::DeviceError(fmt::format("{} already exists and is not an empty directory", dir));
    }
    fs::create_directories(dir, failure);
    if (failure) {
        throw shared::DeviceError(fmt::format("cannot create {}: {}", dir, failure.message()));
    }
}

template <typename Writer>
void WriteDeviceFile(const fs::path& path, Writer&& write) {
    std::error_code failure;
    fs::create_directories(path.parent_path(), failure);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) {
        write(out);
        out.close();
    }
    if (failure || !out) {
        throw shared::DeviceError(fmt::format("cannot write {}", path));
    }
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
    WriteDeviceFile(path, [&](std::ostream& out) { out << bytes; });
}

// The default regions, with a logo region that holds the screen-sized sample logos.
nlohmann::ordered_json FlashRegionsJson(platform::ScreenSize screen) {
    FlashRegionSizes sizes;
    const std::uint64_t logoMebibytes = (SampleBitmapBytes(screen) + shared::kMebibyte - 1) / shared::kMebibyte;
    sizes[shared::FlashRegion::Logo] = std::max(sizes[shared::FlashRegion::Logo], logoMebibytes * shared::kMebibyte);
    nlohmann::ordered_json regions;
    for (const shared::FlashRegionInfo& info : shared::kFlashRegions) {
        regions[std::string(info.name)] = sizes[info.region];
    }
    return regions;
}

// Each with one visible window of its own that ignores commands.
nlohmann::ordered_json ProgramsJson() {
    nlohmann::ordered_json programs = nlohmann::ordered_json::array();
    const nlohmann::ordered_json window{{"visible", true}, {"owned", false}};
    for (const SiblingProgram& program : kSiblingPrograms) {
        programs.push_back({{"processId", program.processId},
                            {"executable", program.executable},
                            {"windows", nlohmann::ordered_json::array({window})},
                            {"onCommand", CommandEffectText(CommandEffect::Ignore)}});
    }
    return programs;
}

nlohmann::ordered_json FatJson(const shared::FatParameters& fat) {
    nlohmann::ordered_json parameters;
    for (const FatJsonField& named : kFatJsonFields) {
        parameters[std::string(named.key)] = fat.*named.field.member;
    }
    return parameters;
}

// Each flash store with one partition, mounted at its profile's folder.
nlohmann::ordered_json StoresJson() {
    nlohmann::ordered_json stores = nlohmann::ordered_json::array();
    for (const StorageProfile& profile : kProfiles) {
        if (!profile.deviceName.empty()) {
            const nlohmann::ordered_json partition{{"name", kPartitionName},
                                                   {"volume", fmt::format("\\{}", profile.folder)},
                                                   {"folder", profile.folder},
                                                   {"fat", FatJson(NewFlashVolume())}};
            stores.push_back(
                {{"deviceName", profile.deviceName}, {"profile", profile.key}, {"partitions", {partition}}});
        }
    }
    return stores;
}

std::string ConfigJson(const DeviceOptions& options) {
    const nlohmann::ordered_json document{
        {"screen", {{"width", options.screen.width}, {"height", options.screen.height}}},
        {"languageId", shared::LanguageIdText(options.languageId)},
        {"flashRegions", FlashRegionsJson(options.screen)},
        {"programs", ProgramsJson()},
        {"stores", StoresJson()},
        {"faults", nlohmann::ordered_json::object()},
    };
    return document.dump(4) + "\n";
}


// The same bytes on every run, so that tests and people can compare what was written to flash.
std::string PseudoRandomBytes(std::size_t count, std::uint32_t seed) {
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(generator() & 0xFF);
    }
    return bytes;
}

void WriteFileSystem(const fs::path& root, const DeviceOptions& options) {
    const fs::path images = root / kStorageCard.folder / (options.autoUpdate ? "AutoUpdate" : "Images");
    for (const SampleImage& image : kSampleImages) {
        WriteBytes(images / image.name, PseudoRandomBytes(image.bytes, image.seed));
    }
    for (const SampleLogo& logo : kSampleLogos) {
        WriteDeviceFile(images / logo.name, [&](std::ostream& out) {
            WriteSampleBitmap(out, options.screen, logo.firstColour, logo.secondColour);
        });
    }
    for (const StorageProfile& profile : kProfiles) {
        if (!profile.startupLog.empty()) {
            WriteBytes(root / profile.folder / shared::kStoreFolder / kStartupLog, profile.startupLog);
        }
    }
}

}  // namespace

std::string RegistryText() {
    std::string text =
        "Windows Registry Editor Version 5.00\n\n"
        "; The storage manager's profiles: where the updater looks for the storage card.\n";
    for (const StorageProfile& profile : kProfiles) {
        text += fmt::format("\n[{}\\{}]\n\"Name\"=\"{}\"\n\"Folder\"=\"{}\"\n", kProfilesKey, profile.key, profile.name,
                            profile.folder);
    }
    return text;
}

shared::FatParameters NewFlashVolume() {
    shared::FatParameters fat{.bytesPerSector = 512,
                            .sectorsPerCluster = 4,
                            .reservedSectors = 1,
                            .fats = 2,
                            .rootEntries = 512,
                            .totalSectors = 16000,
                            .media = 0xF8,
                            .sectorsPerFat = 0,
                            .sectorsPerTrack = 32,
                            .heads = 2,
                            .hiddenSectors = 0};
    fat.sectorsPerFat = static_cast<std::uint32_t>(shared::FormatterSectorsPerFat(fat, kNewVolumeFatBits));
    return fat;
}

void InitDevice(const fs::path& dir, const DeviceOptions& options) {
    CheckScreenSize(options.screen);
    PrepareEmptyDirectory(dir);
    WriteBytes(dir / device_files::kConfig, ConfigJson(options));
    WriteBytes(dir / device_files::kRegistry, RegistryText());
    WriteFileSystem(dir / device_files::kRoot, options);
}

}  // namespace velkor::sim
