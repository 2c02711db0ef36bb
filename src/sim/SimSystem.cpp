#include "sim/SimSystem.h"

#include "platform/DeviceText.h"

#include <fmt/format.h>

#include <chrono>
#include <ctime>
#include <iostream>
#include <thread>

namespace velkor::sim {
namespace {

// The export of the core system library that the hot key's delayed action calls.
constexpr int kCoreServiceNumber = 877;

// One debug print as one log line: the print's own line feed ends the line, any other line
// break is kept visible as \r or \n.
std::string DebugLine(std::u16string_view text) {
    if (text.ends_with(u'\n')) {
        text.remove_suffix(1);
    }
    std::string line;
    for (const char c : platform::ToUtf8(text)) {
        if (c == '\r') {
            line += "\\r";
        } else if (c == '\n') {
            line += "\\n";
        } else {
            line += c;
        }
    }
    return line;
}

}  // namespace

SimSystem::SimSystem(const DeviceConfig& config, ErrorState& errors, LogFile& debugLog, LogFile& events,
                     std::function<void()> restartHook)
    : config_(config), errors_(errors), debugLog_(debugLog), events_(events), restartHook_(std::move(restartHook)) {}

platform::ScreenSize SimSystem::GetScreenSize() const { return config_.screen; }

std::uint16_t SimSystem::GetDefaultLanguageId() const { return config_.languageId; }

bool SimSystem::SetThreadPriority(int priority) {
    events_.WriteLine(fmt::format("thread-priority {}", priority));
    return true;
}

bool SimSystem::RequestRestart() {
    events_.WriteLine("restart IOCTL_HAL_REBOOT");
    if (config_.faults.restartFails) {
        return errors_.Fail(platform::error::kNotSupported);
    }
    if (restartHook_) {
        restartHook_();
    }
    return true;
}

void SimSystem::Sleep(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::int64_t SimSystem::CurrentTime() const { return static_cast<std::int64_t>(std::time(nullptr)); }

void SimSystem::CallCoreService() { events_.WriteLine(fmt::format("core-service {}", kCoreServiceNumber)); }

void SimSystem::DebugPrint(std::u16string_view text) {
    const std::string line = DebugLine(text);
    debugLog_.WriteLine(line);
    std::cerr << "velkor debug: " << line << '\n';
}

std::uint32_t SimSystem::GetLastError() const { return errors_.Last(); }

}  // namespace velkor::sim
