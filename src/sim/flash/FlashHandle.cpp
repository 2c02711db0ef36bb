#include "sim/flash/FlashHandle.h"

#include "platform/DeviceText.h"

#include <fmt/format.h>

namespace velkor::sim {
namespace {

// The path in double quotes, with control characters written as \xNN so that a request stays
// one line; "null" when there was no input.
std::string InputText(const std::optional<std::u16string>& path) {
    if (!path) {
        return "null";
    }
    std::string text = "\"";
    for (const char c : platform::ToUtf8(*path)) {
        const auto byte = static_cast<unsigned char>(c);
        text += byte < 0x20 || byte == 0x7F ? fmt::format("\\x{:02X}", byte) : std::string(1, c);
    }
    return text + "\"";
}

}  // namespace

FlashHandle::FlashHandle(std::u16string openedName, FlashDriver& driver, ErrorState& errors, LogFile& events,
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
    events_.WriteLine(EventLine(request, done));
    return done ? 1 : 0;
}

std::string FlashHandle::EventLine(const FlashRequest& request, bool done) const {
    const std::string outcome = done ? "1" : fmt::format("0 error {}", errors_.Last());
    return fmt::format("device-control {} 0x{:08X} {} {} -> {}", platform::ToUtf8(openedName_), request.code,
                       InputText(request.path), request.inputSize, outcome);
}

}  // namespace velkor::sim
