#pragma once

#include "platform/BitmapLoader.h"
#include "platform/DeviceIo.h"
#include "platform/DeviceTrust.h"
#include "platform/FileSystem.h"
#include "platform/FormatLibrary.h"
#include "platform/Registry.h"
#include "platform/StorageManager.h"
#include "platform/System.h"
#include "platform/Windows.h"

namespace velkor::platform {

// The platform services the program runs on, created once by main() and passed by reference.
struct Platform {
    Registry& registry;
    FileSystem& fileSystem;
    System& system;
    DeviceIo& deviceIo;
    BitmapLoader& bitmapLoader;
    StorageManager& storageManager;
    FormatLibrary& formatLibrary;
    Windows& windows;
    DeviceTrust& trust;
};

}  // namespace velkor::platform
