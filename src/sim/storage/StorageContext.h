#pragma once

#include "sim/ErrorState.h"
#include "sim/LogFile.h"
#include "sim/storage/StorageFaults.h"
#include "sim/storage/StorageState.h"

#include <filesystem>

namespace velkor::sim {

// What the storage manager, its handles, the volume devices and the formatter share; all of it
// belongs to the device.
struct StorageContext {
    StorageState& state;
    const StorageFaults& faults;
    // DIR/root, which holds the volumes' folders.
    const std::filesystem::path& root;
    ErrorState& errors;
    LogFile& events;
};

}  // namespace velkor::sim
