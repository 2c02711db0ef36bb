#pragma once

#include <stdexcept>

namespace velkor::device_tool {

// A command line that velkor-device cannot make sense of; the message says what is wrong.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace velkor::device_tool
