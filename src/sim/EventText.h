#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::sim {

// The pieces of events.log lines that several drivers write alike.

// A path input in double quotes, with control characters written as \xNN so that a request
// stays one line; "null" when there was no input.
std::string PathInputText(const std::optional<std::u16string>& path);
// "buffer" for a binary input, "null" for none.
std::string BufferInputText(bool hasInput);

// "1" for an answer that carried out the request; "0 error <code>" otherwise.
std::string AnswerText(bool done, std::uint32_t error);

// "device-control <device> 0x<code> <input> <size> -> <answer>". `device` is as the program named
// it: a device path, or a store's device name and a partition name.
std::string DeviceControlLine(std::string_view device, std::uint32_t code, std::string_view inputText,
                              std::uint32_t inputSize, bool done, std::uint32_t error);

}  // namespace velkor::sim
