#pragma once

#include "platform/FormatLibrary.h"
#include "sim/storage/FatFormatter.h"
#include "sim/storage/StorageContext.h"

namespace velkor::sim {

// The loaded FAT utility library, whose one entry point is FormatVolume.
class FatUtilLibrary : public platform::LoadedLibrary {
public:
    FatUtilLibrary(FatFormatter& formatter, StorageContext& context);

    // Entry names compare exactly, as the device's loader compares them.
    platform::FormatVolumeEntry FindFormatVolume(std::u16string_view entryName) override;

private:
    FatFormatter& formatter_;
    StorageContext& context_;
};

}  // namespace velkor::sim
