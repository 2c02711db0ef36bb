#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace velkor::shared {

// One DeviceHandle::Control call to a driver that answers with a reply of bytes, as the disk and
// volume drivers do.
class ControlCall {
public:
    // The count of bytes returned stays 0 unless a reply is given.
    ControlCall(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output, std::uint32_t outputSize,
                std::uint32_t* bytesReturned);

    std::uint32_t Code() const { return code_; }
    bool HasInput() const { return input_ != nullptr || inputSize_ != 0; }

    // False, with the last error set, unless the output buffer takes `bytes`: kInvalidParameter
    // when there is none, kInsufficientBuffer when it is smaller.
    bool OutputHolds(std::uint32_t bytes, ErrorState& errors) const;

    // Copies `reply`, which the output holds, into it, writes the call's events.log line with the
    // device as `device` and returns the driver's answer: 1 with a reply, 0 without one.
    int Answer(const std::optional<std::vector<std::uint8_t>>& reply, std::string_view device, ErrorState& errors,
               EventLog& events);

private:
    std::uint32_t code_;
    const void* input_;
    std::uint32_t inputSize_;
    void* output_;
    std::uint32_t outputSize_;
    std::uint32_t* bytesReturned_;
};

}  // namespace velkor::shared
