#include "velkor-device/CardDevice.h"

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

}  // namespace

CardDevice::CardDevice(const CardRequest& request) : config_(NewDevice(request.screen)), cardFolder_(SettingsFolder()) {
    if (!request.device) {
        return;
    }
    sim::SimPlatform device(*request.device);
    config_ = device.config();
    platform::Platform& platform = device.platform();
    const std::optional<std::u16string> folder = StorageCardFolder(platform.registry, platform.fileSystem);
    if (!folder) {
        throw shared::DeviceError(fmt::format(
            "the device {} has no storage-card profile in its registry: the updater would find no card there",
            request.device->string()));
    }
    cardFolder_ = *folder;
    trust_ = platform.trust.Settings();
    installed_ = platform.trust.ReadInstalled();
}

}  // namespace velkor::device_tool
