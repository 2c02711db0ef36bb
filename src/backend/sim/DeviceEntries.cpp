#include "backend/sim/DeviceEntries.h"

#include "backend/shared/DeviceError.h"
#include "backend/shared/BoundedFile.h"
#include "backend/shared/flash/FlashRegion.h"
#include "backend/shared/slots/BootState.h"
#include "backend/sim/DeviceFiles.h"

#include <fmt/format.h>
#include <fmt/std.h>

#include <sys/stat.h>

#include <array>
#include <cerrno>

namespace velkor::sim {
namespace {

namespace fs = std::filesystem;

constexpr std::array kPlainFiles{device_files::kConfig,      device_files::kRegistry,
                                 device_files::kDebugLog,    device_files::kEventsLog,
                                 device_files::kEnvironment, device_files::kRedundantEnvironment,
                                 device_files::kCommandLine, device_files::kInstalledRecord};
constexpr std::array kFolders{device_files::kRoot, device_files::kFlash};

[[noreturn]] void Refuse(const fs::path& path, mode_t mode, bool wantsFolder) {
    const char* kind = wantsFolder ? "folders" : "files";
    throw shared::DeviceError(fmt::format("{} is {}: the device's own {} must be plain {} inside the device directory",
                                  path, shared::FileKindText(mode), kind, kind));
}

// Refuses an existing entry that is not a plain file (or folder), without following a link.
void CheckEntry(const fs::path& path, bool wantsFolder) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        if (errno == ENOENT) {
            return;
        }
        throw shared::DeviceError(fmt::format("cannot examine {}", path));
    }
    if (wantsFolder ? !S_ISDIR(status.st_mode) : !S_ISREG(status.st_mode)) {
        Refuse(path, status.st_mode, wantsFolder);
    }
}

}  // namespace

void CheckDeviceEntries(const fs::path& directory) {
    for (const std::string_view name : kPlainFiles) {
        CheckEntry(directory / name, false);
    }
    for (const std::string_view name : kFolders) {
        CheckEntry(directory / name, true);
    }
    for (const shared::FlashRegionInfo& region : shared::kFlashRegions) {
        CheckEntry(directory / device_files::kFlash / shared::RegionFileName(region), false);
        for (const shared::Slot slot : shared::kSlots) {
            CheckEntry(directory / device_files::kFlash / shared::SlotFileName(region, shared::SlotLetter(slot)), false);
        }
    }
}

std::string ReadDeviceFile(const fs::path& path) {
    return shared::ReadBoundedFile(path, "", shared::LinkRule::Refused);
}

}  // namespace velkor::sim
