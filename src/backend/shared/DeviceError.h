#pragma once

#include <stdexcept>

namespace velkor::shared {

// A device directory that cannot be opened or made; the message says why, for a person to read.
class DeviceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace velkor::shared
