#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "platform/FormatLibrary.h"
#include "backend/board/storage/CommandRunner.h"
#include "backend/board/storage/MkfsFatFormatter.h"

namespace velkor::board {

// The libraries the real device can load: FATUTIL.dll, whose FormatVolume formats the partitions
// of TargetStorageManager with mkfs.fat, and no other.
class TargetFormatLibrary : public platform::FormatLibrary {
public:
    TargetFormatLibrary(shared::ErrorState& errors, shared::EventLog& events);

    // Library names compare without regard to case; kModuleNotFound for any other.
    std::unique_ptr<platform::LoadedLibrary> LoadLibrary(std::u16string_view name) override;

private:
    shared::ErrorState& errors_;
    CommandRunner runner_;
    MkfsFatFormatter formatter_;
};

}  // namespace velkor::board
