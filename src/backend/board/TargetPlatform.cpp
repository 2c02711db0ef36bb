#include "backend/board/TargetPlatform.h"
#include "backend/board/flash/SlotLayout.h"

#include "backend/shared/DeviceError.h"
#include "backend/shared/RegFileParser.h"
#include "platform/DeviceText.h"
#include "backend/board/TargetConfigReader.h"

#include <fmt/format.h>
#include <fmt/std.h>

#include <iostream>

namespace velkor::board {
namespace {

namespace fs = std::filesystem;

shared::RegistryTree ReadRegistry(const fs::path& file) {
    return shared::RegFileParser::Parse(ReadTargetText(file, "registry"), file.string());
}

std::unique_ptr<shared::LogFile> OpenDebugLog(const fs::path& file) {
    return file.empty() ? nullptr : std::make_unique<shared::LogFile>(file);
}

// The folders, each of which must exist.
const std::vector<FolderMapping>& ExistingFolders(const std::vector<FolderMapping>& folders) {
    for (const FolderMapping& folder : folders) {
        std::error_code failure;
        if (!fs::is_directory(folder.host, failure)) {
            throw shared::DeviceError(fmt::format("the device folder {} is the host folder {}, which is not there",
                                                platform::ToUtf8(folder.name), folder.host));
        }
    }
    return folders;
}

// A device without a keyring keeps no record of an installed release.
fs::path InstalledRecordOf(const TargetConfig& config) {
    return config.trust ? config.trust->installedRecord : fs::path();
}

}  // namespace

TargetPlatform::TargetPlatform(const fs::path& targetFile)
    : config_(ReadTargetConfig(targetFile)),
      debugLog_(OpenDebugLog(config_.debugLog)),
      events_(EventsLogOf(config_)),
      registry_(ReadRegistry(config_.registry), errors_),
      fileSystem_(ExistingFolders(config_.folders), dismounted_, errors_),
      checkedFileSystem_(fileSystem_, approval_, errors_, [this](std::string_view line) { DebugLine(line); }),
      system_(config_.languageId, config_.commands, commands_, errors_, debugLog_.get(), events_),
      environment_(config_.bootSide.environment),
      slotSwitch_(config_.slotGroup, environment_, config_.bootSide.commandLine, errors_, events_,
                  [this](std::string_view line) { DebugLine(line); }),
      releaseRecord_(config_.slotGroup, environment_, InstalledRecordOf(config_), approval_, errors_, events_,
                     [this](std::string_view line) { DebugLine(line); }),
      flash_(config_.flashRegions, config_.secondSlots, slotSwitch_, fileSystem_, approval_, errors_, events_,
             [this](std::string_view line) { DebugLine(line); }),
      storageManager_(config_.stores, config_.commands, commands_, dismounted_, errors_, events_),
      deviceIo_(registry_.Tree(), flash_, releaseRecord_, storageManager_, errors_),
      bitmapLoader_(fileSystem_, errors_),
      formatLibrary_(errors_, events_),
      windows_(config_.programs, errors_, events_),
      trust_(config_.trust, approval_, releaseRecord_, errors_, events_,
             [this](std::uint32_t controlCode) { return flash_.RegionBytes(controlCode); }),
      platform_{registry_,       checkedFileSystem_, system_,   deviceIo_, bitmapLoader_,
                storageManager_, formatLibrary_,     windows_, trust_} {
    CheckBootSide(config_);
}

void TargetPlatform::DebugLine(std::string_view line) {
    system_.DebugPrint(platform::FromUtf8(std::string(line) + "\n"));
}

}  // namespace velkor::board
