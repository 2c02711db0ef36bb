#pragma once

#include "platform/ErrorCodes.h"

#include <cstdint>

namespace velkor::shared {

// The last-error code that all services of one device share: the program runs on one thread,
// and the device keeps one code per thread.
class ErrorState {
public:
    // Records a failure; returns false so that a failing call can end in `return errors.Fail(code);`.
    bool Fail(std::uint32_t code) {
        last_ = code;
        return false;
    }
    // Records `code` unless it is success, and returns it, for calls that answer an error code.
    std::uint32_t Report(std::uint32_t code) {
        if (code != platform::error::kSuccess) {
            last_ = code;
        }
        return code;
    }
    std::uint32_t Last() const { return last_; }

private:
    std::uint32_t last_ = platform::error::kSuccess;
};

}  // namespace velkor::shared
