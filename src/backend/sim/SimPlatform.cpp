#include "backend/sim/SimPlatform.h"

#include "backend/shared/DeviceError.h"
#include "backend/shared/RegFileParser.h"
#include "backend/sim/DeviceEntries.h"
#include "backend/sim/DeviceFiles.h"
#include "backend/sim/SimBootSide.h"
#include "platform/DeviceText.h"

#include <fmt/format.h>
#include <fmt/std.h>

#include <fcntl.h>

namespace velkor::sim {
namespace {

namespace fs = std::filesystem;

// An existing directory whose own entries may be used (CheckDeviceEntries).
const fs::path& UsableDirectory(const fs::path& directory) {
    std::error_code failure;
    if (!fs::is_directory(directory, failure)) {
        throw shared::DeviceError(fmt::format("{} is not a device: there is no such directory", directory));
    }
    CheckDeviceEntries(directory);
    return directory;
}

DeviceConfig ReadConfig(const fs::path& directory) {
    const fs::path path = directory / device_files::kConfig;
    return ParseDeviceConfig(ReadDeviceFile(path), path.string());
}

shared::RegistryTree ReadRegistry(const fs::path& directory) {
    const fs::path path = directory / device_files::kRegistry;
    return shared::RegFileParser::Parse(ReadDeviceFile(path), path.string());
}

fs::path RootOf(const fs::path& directory) {
    const fs::path root = directory / device_files::kRoot;
    std::error_code failure;
    if (!fs::is_directory(root, failure)) {
        throw shared::DeviceError(fmt::format("{} is missing: it holds the device's file system", root));
    }
    return root;
}

shared::UniqueFd OpenFolder(const fs::path& folder) {
    shared::UniqueFd fd(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.IsValid()) {
        throw shared::DeviceError(fmt::format("cannot open {}", folder));
    }
    return fd;
}

std::optional<shared::TrustConfig> TrustConfigOf(const DeviceConfig& config, const fs::path& directory) {
    if (!config.trust) {
        return std::nullopt;
    }
    return shared::TrustConfig{directory / config.trust->keyring, config.trust->compatible, config.trust->validity,
                               directory / device_files::kInstalledRecord};
}

// A device without a keyring keeps no record of an installed release.
fs::path InstalledRecordOf(const DeviceConfig& config, const fs::path& directory) {
    const std::optional<shared::TrustConfig> trust = TrustConfigOf(config, directory);
    return trust ? trust->installedRecord : fs::path();
}

}  // namespace

SimPlatform::SimPlatform(const fs::path& deviceDir, std::function<void()> restartHook)
    : config_(ReadConfig(UsableDirectory(deviceDir))),
      debugLog_(deviceDir / device_files::kDebugLog),
      events_(deviceDir / device_files::kEventsLog),
      powerCut_(config_.faults.powerCutAfterBytes),
      environment_(EnvironmentCopiesOf(deviceDir, config_)),
      cutEnvironment_(environment_, environment_.Copies(), powerCut_),
      slotSwitch_(config_.slotGroup, cutEnvironment_, CommandLineFileOf(deviceDir), errors_, events_,
                  [this](std::string_view line) { DebugLine(line); }),
      releaseRecord_(config_.slotGroup, cutEnvironment_, InstalledRecordOf(config_, deviceDir), approval_, errors_,
                     events_, [this](std::string_view line) { DebugLine(line); }),
      registryService_(ReadRegistry(deviceDir), errors_),
      registry_(registryService_, config_.faults.registryOpenFails, errors_),
      root_(RootOf(deviceDir)),
      rootFolder_(OpenFolder(root_)),
      storage_(config_.stores),
      storageContext_{storage_, config_.faults.storage, rootFolder_, errors_, events_},
      folderFiles_(root_, storage_.Dismounted(), FileRulesOf(config_), errors_),
      fileSystem_(folderFiles_, config_.faults, errors_),
      cutFileSystem_(fileSystem_, powerCut_),
      checkedFileSystem_(cutFileSystem_, approval_, errors_, [this](std::string_view line) { DebugLine(line); }),
      system_(config_, errors_, debugLog_, events_, std::move(restartHook)),
      deviceIo_(registryService_.Tree(), fileSystem_, config_, deviceDir / device_files::kFlash, slotSwitch_, powerCut_,
                approval_, releaseRecord_, [this](std::string_view line) { DebugLine(line); }, storageContext_, errors_,
                events_),
      bitmapLoader_(fileSystem_, errors_),
      storageManager_(storageContext_),
      formatLibrary_(storageContext_),
      windows_(config_, errors_, events_),
      trust_(TrustConfigOf(config_, deviceDir), approval_, releaseRecord_, errors_, events_,
             [this](std::uint32_t controlCode) -> std::optional<std::uint64_t> {
                 const shared::FlashRegionInfo* region = shared::FindRegionByCode(controlCode);
                 const std::uint64_t bytes = region ? config_.flashRegions[region->region] : 0;
                 // A region the device does not have bounds nothing: its row fails at the driver.
                 return bytes != 0 ? std::optional(bytes) : std::nullopt;
             }),
      changedCardTrust_(trust_, fileSystem_, config_.faults.cardImagesChangedAfterCheck),
      platform_{registry_,       checkedFileSystem_, system_,   deviceIo_,        bitmapLoader_,
                storageManager_, formatLibrary_,     windows_, changedCardTrust_} {
    CheckBootSide(deviceDir, config_);
}

void SimPlatform::DebugLine(std::string_view line) { system_.DebugPrint(platform::FromUtf8(std::string(line) + "\n")); }

}  // namespace velkor::sim
