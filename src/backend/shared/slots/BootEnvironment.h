#pragma once

#include "backend/shared/slots/BootState.h"

#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>

namespace velkor::shared {

// Variables of the environment by name; a variable that is not set is absent.
using EnvironmentValues = std::map<std::string, std::string, std::less<>>;

// The boot loader's environment, where the boot order and each slot's tries live. Each call is one
// whole session (open, read or set, store, close): nothing holds the environment between calls.
class BootEnvironment {
public:
    virtual ~BootEnvironment() = default;

    // The values of `names`. Throws DeviceError when neither copy holds a valid environment.
    virtual EnvironmentValues Values(std::span<const std::string_view> names) = 0;
    // Sets the variables and stores them in one write. Throws DeviceError when the environment cannot
    // be read first, or the store fails.
    virtual void Store(const BootVariables& variables) = 0;

    // The boot state. Throws DeviceError as Values does, or when its variables are wrong.
    BootState Read() { return BootState::Parse(Values(BootState::kVariables)); }
};

}  // namespace velkor::shared
