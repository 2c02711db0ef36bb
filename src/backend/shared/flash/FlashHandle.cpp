#include "backend/shared/flash/FlashHandle.h"

#include "platform/DeviceText.h"

namespace velkor::shared {

FlashHandle::FlashHandle(std::u16string openedName, FlashExecutor& driver, ErrorState& errors, EventLog& events,
                         bool& claimed)
    : openedName_(std::move(openedName)), driver_(driver), errors_(errors), events_(events), claimed_(claimed) {
    claimed_ = true;
}

FlashHandle::~FlashHandle() { claimed_ = false; }

int FlashHandle::Control(std::uint32_t code, const void* input, std::uint32_t inputSize, void*, std::uint32_t,
                         std::uint32_t* bytesReturned) {
    if (bytesReturned) {
        *bytesReturned = 0;
    }
    const FlashRequest request = FlashRequest::Read(code, input, inputSize);
    const bool done = driver_.Execute(request);
    LogRequest(request, done);
    return done ? 1 : 0;
}

void FlashHandle::LogRequest(const FlashRequest& request, bool done) {
    const std::string input = request.path ? PathInputText(request.path) : BufferInputText(request.hasInput);
    events_.DeviceControl(platform::ToUtf8(openedName_), request.code, input, request.inputSize, done, errors_.Last());
}

}  // namespace velkor::shared
