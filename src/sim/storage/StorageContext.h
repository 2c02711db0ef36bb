#pragma once

#include "host/ErrorState.h"
#include "host/EventLog.h"
#include "host/UniqueFd.h"
#include "sim/storage/StorageFaults.h"
#include "sim/storage/StorageState.h"


namespace velkor::sim {

// What the storage manager, its handles, the volume devices and the formatter share; all of it
// belongs to the device.
struct StorageContext {
    StorageState& state;
    const StorageFaults& faults;
    // DIR/root, which holds the volumes' folders, opened once for the device's life so that
    // whatever becomes of its path, the volumes are looked for in it.
    const host::UniqueFd& root;
    host::ErrorState& errors;
    host::EventLog& events;
};

}  // namespace velkor::sim
