#include "sim/storage/SimFormatLibrary.h"

#include "platform/DeviceText.h"
#include "sim/storage/FatUtilLibrary.h"

namespace velkor::sim {
namespace {

constexpr std::u16string_view kFatUtilLibrary = u"FATUTIL.dll";

}  // namespace

SimFormatLibrary::SimFormatLibrary(StorageContext& context) : context_(context), formatter_(context) {}

std::unique_ptr<platform::LoadedLibrary> SimFormatLibrary::LoadLibrary(std::u16string_view name) {
    if (!platform::EqualsIgnoreCase(name, kFatUtilLibrary) || context_.faults.formatLibraryMissing) {
        context_.errors.Fail(platform::error::kModuleNotFound);
        return nullptr;
    }
    return std::make_unique<FatUtilLibrary>(formatter_, context_);
}

}  // namespace velkor::sim
