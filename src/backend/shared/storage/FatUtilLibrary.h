#pragma once

#include "backend/shared/ErrorState.h"
#include "platform/FormatLibrary.h"

#include <string_view>

namespace velkor::shared {

// The FAT utility library as the program loads it; library names compare without regard to case.
inline constexpr std::u16string_view kFatUtilLibraryName = u"FATUTIL.dll";
bool IsFatUtilLibrary(std::u16string_view name);

// The loaded FAT utility library, whose one entry point is FormatVolume.
class FatUtilLibrary : public platform::LoadedLibrary {
public:
    // `formatVolume` is what the entry point does; an empty one stands for a library without it.
    FatUtilLibrary(platform::FormatVolumeEntry formatVolume, ErrorState& errors);

    // Entry names compare exactly, as the device's loader compares them.
    platform::FormatVolumeEntry FindFormatVolume(std::u16string_view entryName) override;

private:
    platform::FormatVolumeEntry formatVolume_;
    ErrorState& errors_;
};

}  // namespace velkor::shared
