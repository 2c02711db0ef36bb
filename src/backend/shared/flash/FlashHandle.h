#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "backend/shared/flash/FlashExecutor.h"
#include "platform/DeviceIo.h"

#include <string>

namespace velkor::shared {

// The open flash device of either backend. While it lives the device is claimed, and every
// request sent through it is one events.log line. It must not outlive the driver it was opened on.
class FlashHandle : public platform::DeviceHandle {
public:
    // Sets `claimed` until the handle is destroyed. `openedName` is the name as the program gave it.
    FlashHandle(std::u16string openedName, FlashExecutor& driver, ErrorState& errors, EventLog& events, bool& claimed);
    ~FlashHandle() override;

    FlashHandle(const FlashHandle&) = delete;
    FlashHandle& operator=(const FlashHandle&) = delete;

    // The output buffer is not used by any flash code: nothing is returned.
    int Control(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output, std::uint32_t outputSize,
                std::uint32_t* bytesReturned) override;

private:
    void LogRequest(const FlashRequest& request, bool done);

    std::u16string openedName_;
    FlashExecutor& driver_;
    ErrorState& errors_;
    EventLog& events_;
    bool& claimed_;
};

}  // namespace velkor::shared
