#pragma once

#include "platform/DeviceIo.h"
#include "sim/ErrorState.h"
#include "sim/LogFile.h"
#include "sim/flash/FlashDriver.h"

#include <string>

namespace velkor::sim {

// The open flash device. While it lives the device is claimed, and every request sent through
// it is one events.log line. It must not outlive the driver it was opened on.
class FlashHandle : public platform::DeviceHandle {
public:
    // Sets `claimed` until the handle is destroyed. `openedName` is the name as the program gave it.
    FlashHandle(std::u16string openedName, FlashDriver& driver, ErrorState& errors, LogFile& events, bool& claimed);
    ~FlashHandle() override;

    FlashHandle(const FlashHandle&) = delete;
    FlashHandle& operator=(const FlashHandle&) = delete;

    // The output buffer is not used by any flash code: nothing is returned.
    int Control(std::uint32_t code, const void* input, std::uint32_t inputSize, void* output, std::uint32_t outputSize,
                std::uint32_t* bytesReturned) override;

private:
    std::string EventLine(const FlashRequest& request, bool done) const;

    std::u16string openedName_;
    FlashDriver& driver_;
    ErrorState& errors_;
    LogFile& events_;
    bool& claimed_;
};

}  // namespace velkor::sim
