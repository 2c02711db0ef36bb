#pragma once

#include "backend/shared/slots/BootState.h"

namespace velkor::shared {

// The boot loader's environment, where the boot order and each slot's tries live. Each call is one
// whole session (open, read or set, store, close): nothing holds the environment between calls.
class BootEnvironment {
public:
    virtual ~BootEnvironment() = default;

    // Throws DeviceError when neither copy holds a valid environment or its variables are wrong.
    virtual BootState Read() = 0;
    // Sets the variables and stores them in one write. Throws DeviceError when the environment cannot
    // be read first, or the store fails.
    virtual void Store(const BootVariables& variables) = 0;
};

}  // namespace velkor::shared
