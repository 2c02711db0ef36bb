#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "backend/shared/LogFile.h"
#include "platform/System.h"
#include "backend/sim/DeviceConfig.h"

#include <functional>

namespace velkor::sim {

// Screen and language come from device.json; what the program asks of the kernel is recorded in
// events.log, and its debug output goes to debug.log and stderr.
class SimSystem : public platform::System {
public:
    // `restartHook` runs when a restart is requested (main() quits the application with it),
    // unless the restartFails switch makes the request fail with 50 (not supported).
    SimSystem(const DeviceConfig& config, shared::ErrorState& errors, shared::LogFile& debugLog, shared::EventLog& events,
              std::function<void()> restartHook);

    platform::ScreenSize GetScreenSize() const override;
    std::uint16_t GetDefaultLanguageId() const override;
    bool SetThreadPriority(int priority) override;
    bool RequestRestart() override;
    void Sleep(std::uint32_t milliseconds) override;
    std::int64_t CurrentTime() const override;
    void CallCoreService() override;
    void DebugPrint(std::u16string_view text) override;
    std::uint32_t GetLastError() const override;

private:
    const DeviceConfig& config_;
    shared::ErrorState& errors_;
    shared::LogFile& debugLog_;
    shared::EventLog& events_;
    std::function<void()> restartHook_;
};

}  // namespace velkor::sim
