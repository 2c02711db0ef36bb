#pragma once

#include "platform/System.h"
#include "support/FakeLastError.h"

#include <string>
#include <utility>
#include <vector>

namespace velkor::test {

// A device with a settable screen and language that records what the program asked of it. Its last
// error is the one its platform's fakes share, when they are given one.
class FakeSystem : public platform::System, public FakeLastError {
public:
    using FakeLastError::FakeLastError;

    platform::ScreenSize screen{800, 480};
    std::uint16_t languageId = 0x0409;
    std::vector<int> priorities;
    int restartRequests = 0;
    std::vector<std::u16string> debugLines;
    std::vector<std::uint32_t> sleeps;
    // The calendar clock; each reading moves it on by `secondsPerReading`.
    mutable std::int64_t now = 1'000'000;
    std::int64_t secondsPerReading = 0;
    int coreServiceCalls = 0;

    platform::ScreenSize GetScreenSize() const override { return screen; }
    std::uint16_t GetDefaultLanguageId() const override { return languageId; }
    bool SetThreadPriority(int priority) override;
    bool RequestRestart() override;
    void Sleep(std::uint32_t milliseconds) override { sleeps.push_back(milliseconds); }
    std::int64_t CurrentTime() const override { return std::exchange(now, now + secondsPerReading); }
    void CallCoreService() override { ++coreServiceCalls; }
    void DebugPrint(std::u16string_view text) override { debugLines.emplace_back(text); }
    std::uint32_t GetLastError() const override { return LastError(); }
};

}  // namespace velkor::test
