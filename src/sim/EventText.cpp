#include "sim/EventText.h"

#include "platform/DeviceText.h"

#include <fmt/format.h>

namespace velkor::sim {

std::string PathInputText(const std::optional<std::u16string>& path) {
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

std::string BufferInputText(bool hasInput) { return hasInput ? "buffer" : "null"; }

std::string AnswerText(bool done, std::uint32_t error) { return done ? "1" : fmt::format("0 error {}", error); }

std::string DeviceControlLine(std::string_view device, std::uint32_t code, std::string_view inputText,
                              std::uint32_t inputSize, bool done, std::uint32_t error) {
    return fmt::format("device-control {} 0x{:08X} {} {} -> {}", device, code, inputText, inputSize,
                       AnswerText(done, error));
}

}  // namespace velkor::sim
