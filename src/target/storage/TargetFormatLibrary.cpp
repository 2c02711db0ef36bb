#include "target/storage/TargetFormatLibrary.h"

#include "host/storage/FatUtilLibrary.h"

#include <functional>

namespace velkor::target {

TargetFormatLibrary::TargetFormatLibrary(host::ErrorState& errors, host::EventLog& events)
    : errors_(errors), formatter_(runner_, errors, events) {}

std::unique_ptr<platform::LoadedLibrary> TargetFormatLibrary::LoadLibrary(std::u16string_view name) {
    if (!host::IsFatUtilLibrary(name)) {
        errors_.Fail(platform::error::kModuleNotFound);
        return nullptr;
    }
    return std::make_unique<host::FatUtilLibrary>(std::bind_front(&MkfsFatFormatter::Format, &formatter_), errors_);
}

}  // namespace velkor::target
