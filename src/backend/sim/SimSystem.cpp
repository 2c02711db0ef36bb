#include "backend/sim/SimSystem.h"

#include "backend/shared/DebugLine.h"

#include <fmt/format.h>

#include <chrono>
#include <ctime>
#include <iostream>
#include <thread>

namespace velkor::sim {

SimSystem::SimSystem(const DeviceConfig& config, shared::ErrorState& errors, shared::LogFile& debugLog,
                     shared::EventLog& events, std::function<void()> restartHook)
    : config_(config), errors_(errors), debugLog_(debugLog), events_(events), restartHook_(std::move(restartHook)) {}

platform::ScreenSize SimSystem::GetScreenSize() const { return config_.screen; }

std::uint16_t SimSystem::GetDefaultLanguageId() const { return config_.languageId; }

bool SimSystem::SetThreadPriority(int priority) {
    events_.ThreadPriority(priority);
    return true;
}

bool SimSystem::RequestRestart() {
    events_.Restart();
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

void SimSystem::CallCoreService() { events_.CoreService(); }

void SimSystem::DebugPrint(std::u16string_view text) {
    const std::string line = shared::DebugLine(text);
    debugLog_.WriteLine(line);
    std::cerr << "velkor debug: " << line << '\n';
}

std::uint32_t SimSystem::GetLastError() const { return errors_.Last(); }

}  // namespace velkor::sim
