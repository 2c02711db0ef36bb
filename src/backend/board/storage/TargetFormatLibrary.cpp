#include "backend/board/storage/TargetFormatLibrary.h"

#include "backend/shared/storage/FatUtilLibrary.h"

#include <functional>

namespace velkor::board {

TargetFormatLibrary::TargetFormatLibrary(shared::ErrorState& errors, shared::EventLog& events)
    : errors_(errors), formatter_(runner_, errors, events) {}

std::unique_ptr<platform::LoadedLibrary> TargetFormatLibrary::LoadLibrary(std::u16string_view name) {
    if (!shared::IsFatUtilLibrary(name)) {
        errors_.Fail(platform::error::kModuleNotFound);
        return nullptr;
    }
    return std::make_unique<shared::FatUtilLibrary>(std::bind_front(&MkfsFatFormatter::Format, &formatter_), errors_);
}

}  // namespace velkor::board
