#pragma once

#include "platform/FormatLibrary.h"
#include "backend/sim/storage/FatFormatter.h"
#include "backend/sim/storage/StorageContext.h"

namespace velkor::sim {

// The libraries the device can load: FATUTIL.dll, the FAT utility library, and no other.
class SimFormatLibrary : public platform::FormatLibrary {
public:
    explicit SimFormatLibrary(StorageContext& context);

    // Library names compare without regard to case.
    std::unique_ptr<platform::LoadedLibrary> LoadLibrary(std::u16string_view name) override;

private:
    StorageContext& context_;
    FatFormatter formatter_;
};

}  // namespace velkor::sim
