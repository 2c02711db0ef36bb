#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "backend/shared/UniqueFd.h"
#include "backend/sim/storage/StorageFaults.h"
#include "backend/sim/storage/StorageState.h"


namespace velkor::sim {

// What the storage manager, its handles, the volume devices and the formatter share; all of it
// belongs to the device.
struct StorageContext {
    StorageState& state;
    const StorageFaults& faults;
    // DIR/root, which holds the volumes' folders, opened once for the device's life so that
    // whatever becomes of its path, the volumes are looked for in it.
    const shared::UniqueFd& root;
    shared::ErrorState& errors;
    shared::EventLog& events;
};

}  // namespace velkor::sim
