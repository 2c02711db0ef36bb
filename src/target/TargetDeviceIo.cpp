#include "target/TargetDeviceIo.h"

#include "host/FlashDeviceNames.h"
#include "host/storage/CombinedDeviceHandle.h"
#include "host/storage/VolumeDevice.h"
#include "platform/DeviceText.h"

#include <algorithm>

namespace velkor::target {
namespace {

namespace error = platform::error;

}  // namespace

TargetDeviceIo::TargetDeviceIo(const host::RegistryTree& registry, TargetFlashDriver& flash,
                               TargetStorageManager& storage, host::ErrorState& errors)
    : registry_(registry), flash_(flash), storage_(storage), errors_(errors) {}

std::unique_ptr<platform::DeviceHandle> TargetDeviceIo::OpenDevice(std::u16string_view path, std::uint32_t,
                                                                   std::uint32_t) {
    std::unique_ptr<platform::DeviceHandle> flash;
    if (NamesFlashDriver(path)) {
        flash = flash_.Open(std::u16string(path));
        if (!flash) {
            return nullptr;
        }
    }
    std::unique_ptr<platform::DeviceHandle> volume = storage_.OpenVolumeDevice(path);
    if (!volume) {
        // A flash name that is no volume's opens the flash driver alone.
        const bool flashAlone = flash && errors_.Last() == error::kFileNotFound;
        return flashAlone ? std::move(flash) : nullptr;
    }
    if (!flash) {
        return volume;
    }
    return std::make_unique<host::CombinedDeviceHandle>(std::move(flash), std::move(volume), host::IsVolumeCode);
}

bool TargetDeviceIo::NamesFlashDriver(std::u16string_view path) const {
    const std::vector<std::u16string> names = host::FlashDeviceNames(registry_);
    return std::any_of(names.begin(), names.end(),
                       [&](const std::u16string& name) { return platform::EqualsIgnoreCase(name, path); });
}

}  // namespace velkor::target
