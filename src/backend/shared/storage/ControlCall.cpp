#include "backend/shared/storage/ControlCall.h"

#include "backend/shared/EventLog.h"

#include <algorithm>

namespace velkor::shared {

namespace error = platform::error;

ControlCall::ControlCall(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output,
                         std::uint32_t outputSize, std::uint32_t* bytesReturned)
    : code_(code),
      input_(input),
      inputSize_(inputSize),
      output_(output),
      outputSize_(outputSize),
      bytesReturned_(bytesReturned) {
    if (bytesReturned_) {
        *bytesReturned_ = 0;
    }
}

bool ControlCall::OutputHolds(std::uint32_t bytes, ErrorState& errors) const {
    if (!output_) {
        return errors.Fail(error::kInvalidParameter);
    }
    if (outputSize_ < bytes) {
        return errors.Fail(error::kInsufficientBuffer);
    }
    return true;
}

int ControlCall::Answer(const std::optional<std::vector<std::uint8_t>>& reply, std::string_view device,
                        ErrorState& errors, EventLog& events) {
    if (reply) {
        std::copy(reply->begin(), reply->end(), static_cast<std::uint8_t*>(output_));
        if (bytesReturned_) {
            *bytesReturned_ = static_cast<std::uint32_t>(reply->size());
        }
    }
    events.DeviceControl(device, code_, BufferInputText(input_ != nullptr), inputSize_, reply.has_value(),
                         errors.Last());
    return reply ? 1 : 0;
}

}  // namespace velkor::shared
