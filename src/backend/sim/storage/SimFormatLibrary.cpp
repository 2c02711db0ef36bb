#include "backend/sim/storage/SimFormatLibrary.h"

#include "backend/shared/storage/FatUtilLibrary.h"

#include <functional>

namespace velkor::sim {

SimFormatLibrary::SimFormatLibrary(StorageContext& context) : context_(context), formatter_(context) {}

std::unique_ptr<platform::LoadedLibrary> SimFormatLibrary::LoadLibrary(std::u16string_view name) {
    if (!shared::IsFatUtilLibrary(name) || context_.faults.formatLibraryMissing) {
        context_.errors.Fail(platform::error::kModuleNotFound);
        return nullptr;
    }
    platform::FormatVolumeEntry formatVolume;
    if (!context_.faults.formatEntryMissing) {
        formatVolume = std::bind_front(&FatFormatter::Format, &formatter_);
    }
    return std::make_unique<shared::FatUtilLibrary>(std::move(formatVolume), context_.errors);
}

}  // namespace velkor::sim
