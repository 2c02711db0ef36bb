#pragma once

#include "backend/shared/DismountedFolders.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "backend/board/TargetConfig.h"
#include "backend/board/storage/CommandRunner.h"

#include <chrono>

namespace velkor::board {

// What the storage manager's stores and partitions share; all of it belongs to the device.
struct TargetStorageContext {
    const TargetCommands& commands;
    const CommandRunner& runner;
    // The volumes the file system hides while they are dismounted.
    shared::DismountedFolders& dismounted;
    shared::ErrorState& errors;
    shared::EventLog& events;
    // How long a dismount waits, once the unmount command is done, for the volume's file system to
    // let go of the device: a FUSE daemon ends a moment after its unmount.
    std::chrono::milliseconds releaseWait;
};

}  // namespace velkor::board
