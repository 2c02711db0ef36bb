#pragma once

#include "host/DismountedFolders.h"
#include "host/ErrorState.h"
#include "host/EventLog.h"
#include "target/TargetConfig.h"
#include "target/storage/CommandRunner.h"

#include <chrono>

namespace velkor::target {

// What the storage manager's stores and partitions share; all of it belongs to the device.
struct TargetStorageContext {
    const TargetCommands& commands;
    const CommandRunner& runner;
    // The volumes the file system hides while they are dismounted.
    host::DismountedFolders& dismounted;
    host::ErrorState& errors;
    host::EventLog& events;
    // How long a dismount waits, once the unmount command is done, for the volume's file system to
    // let go of the device: a FUSE daemon ends a moment after its unmount.
    std::chrono::milliseconds releaseWait;
};

}  // namespace velkor::target
