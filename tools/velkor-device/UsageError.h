#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace velkor::device_tool {

// A command line that velkor-device cannot make sense of; the message says what is wrong, and the
// command it was meant for (empty when no command was recognised) picks the usage shown after it.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const std::string& message, std::string_view command = {})
        : std::runtime_error(message), command_(command) {}

    const std::string& Command() const { return command_; }

private:
    std::string command_;
};

}  // namespace velkor::device_tool
