#pragma once

#include "host/ErrorState.h"
#include "host/EventLog.h"
#include "platform/FormatLibrary.h"
#include "target/storage/CommandRunner.h"
#include "target/storage/MkfsFatFormatter.h"

namespace velkor::target {

// The libraries the real device can load: FATUTIL.dll, whose FormatVolume formats the partitions
// of TargetStorageManager with mkfs.fat, and no other.
class TargetFormatLibrary : public platform::FormatLibrary {
public:
    TargetFormatLibrary(host::ErrorState& errors, host::EventLog& events);

    // Library names compare without regard to case; kModuleNotFound for any other.
    std::unique_ptr<platform::LoadedLibrary> LoadLibrary(std::u16string_view name) override;

private:
    host::ErrorState& errors_;
    CommandRunner runner_;
    MkfsFatFormatter formatter_;
};

}  // namespace velkor::target
