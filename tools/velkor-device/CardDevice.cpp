#include "velkor-device/CardDevice.h"

#include "backend/board/TargetPlatform.h"
#include "backend/board/flash/BlockDevice.h"
#include "backend/shared/DeviceError.h"
#include "backend/sim/SimPlatform.h"
#include "velkor-device/StorageCardFolder.h"

#include <fmt/format.h>

namespace velkor::device_tool {
namespace {

sim::DeviceConfig NewDevice(const std::optional<platform::ScreenSize>& screen) {
    sim::DeviceConfig defaults;
    if (screen) {
        sim::CheckScreenSize(*screen);
        defaults.screen = *screen;
    }
    return defaults;
}

// Each region's bytes as its block device or file answers, read only; a two-slot region's are its
// slot A's (check-target holds both slots to one size). A region the device does not have holds
// nothing.
void TakeRegionSizes(const board::TargetConfig& target, sim::DeviceConfig& config) {
    for (const shared::FlashRegionInfo& region : shared::kFlashRegions) {
        const std::filesystem::path& device = target.flashRegions[static_cast<std::size_t>(region.region)];
        const std::optional<board::BlockDeviceInfo> info =
            device.empty() ? std::nullopt : board::ExaminePath(device);
        if (!device.empty() && (!info || info->kind == board::PathKind::Missing)) {
            throw shared::DeviceError(fmt::format("the {} region {} cannot be examined", region.name, device.string()));
        }
        config.flashRegions[region.region] = info ? info->sizeBytes : 0;
    }
}

}  // namespace

CardDevice::CardDevice(const CardRequest& request) : config_(NewDevice(request.screen)), cardFolder_(SettingsFolder()) {
    if (request.device) {
        sim::SimPlatform device(*request.device);
        config_ = device.config();
        TakeDevice(device.platform(), *request.device);
    } else if (request.target) {
        board::TargetPlatform device(*request.target);
        TakeRegionSizes(device.config(), config_);
        TakeDevice(device.platform(), *request.target);
    }
}

void CardDevice::TakeDevice(platform::Platform& platform, const std::filesystem::path& name) {
    const std::optional<std::u16string> folder = StorageCardFolder(platform.registry, platform.fileSystem);
    if (!folder) {
        throw shared::DeviceError(fmt::format(
            "the device {} has no storage-card profile in its registry: the updater would find no card there",
            name.string()));
    }
    name_ = name;
    cardFolder_ = *folder;
    trust_ = platform.trust.Settings();
    installed_ = platform.trust.ReadInstalled();
}

}  // namespace velkor::device_tool
