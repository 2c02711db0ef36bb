#include "backend/shared/storage/FatUtilLibrary.h"

#include "platform/DeviceText.h"

namespace velkor::shared {
namespace {

constexpr std::u16string_view kFormatVolumeEntry = u"FormatVolume";

}  // namespace

bool IsFatUtilLibrary(std::u16string_view name) { return platform::EqualsIgnoreCase(name, kFatUtilLibraryName); }

FatUtilLibrary::FatUtilLibrary(platform::FormatVolumeEntry formatVolume, ErrorState& errors)
    : formatVolume_(std::move(formatVolume)), errors_(errors) {}

platform::FormatVolumeEntry FatUtilLibrary::FindFormatVolume(std::u16string_view entryName) {
    if (entryName != kFormatVolumeEntry || !formatVolume_) {
        errors_.Fail(platform::error::kProcedureNotFound);
        return {};
    }
    return formatVolume_;
}

}  // namespace velkor::shared
