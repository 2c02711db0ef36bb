#include "backend/board/TargetDeviceIo.h"

#include "backend/shared/FlashDeviceNames.h"
#include "backend/shared/storage/CombinedDeviceHandle.h"
#include "backend/shared/storage/VolumeDevice.h"
#include "platform/DeviceText.h"

#include <algorithm>

namespace velkor::board {
namespace {

namespace error = platform::error;

}  // namespace

TargetDeviceIo::TargetDeviceIo(const shared::RegistryTree& registry, TargetFlashDriver& flash,
                               shared::ReleaseRecord& record, TargetStorageManager& storage, shared::ErrorState& errors)
    : registry_(registry), flash_(flash), record_(record), storage_(storage), errors_(errors) {}

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
    return std::make_unique<shared::CombinedDeviceHandle>(std::move(flash), std::move(volume), shared::IsVolumeCode);
}

bool TargetDeviceIo::NamesFlashDriver(std::u16string_view path) const {
    const std::vector<std::u16string> names = shared::FlashDeviceNames(registry_);
    return std::any_of(names.begin(), names.end(),
                       [&](const std::u16string& name) { return platform::EqualsIgnoreCase(name, path); });
}

int TargetDeviceIo::CommitUpdate(bool wholeUpdate) {
    const bool committed = record_.Commit(
        wholeUpdate,
        [this](const shared::BootVariables& alsoStored, bool whole) { return flash_.CommitUpdate(alsoStored, whole); });
    return committed ? 1 : 0;
}

}  // namespace velkor::board
