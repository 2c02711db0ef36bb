#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/EventLog.h"
#include "backend/shared/LogFile.h"
#include "platform/System.h"
#include "backend/board/TargetConfig.h"
#include "backend/board/storage/CommandRunner.h"

#include <cstdint>
#include <optional>

namespace velkor::board {

// The language a device without a configured one gets from its locale: Simplified Chinese for
// zh_CN, English otherwise.
std::uint16_t LanguageFromLocale(std::string_view localeName);

// The nice value for a thread priority on the device's scale (0 highest, 255 lowest): the normal
// priority of an application, 251, is nice 0, and each step is one nice step, bounded by -20 and 19.
int NiceForPriority(int priority);

// The kernel and device services of a real device. The restart and the core service run the target
// file's commands; debug prints go to stderr, where the journal keeps them, and to the debug log when
// the target file names one.
class TargetSystem : public platform::System {
public:
    // `debugLog` may be null.
    TargetSystem(std::optional<std::uint16_t> languageId, const TargetCommands& commands, CommandRunner& runner,
                 shared::ErrorState& errors, shared::LogFile* debugLog, shared::EventLog& events);

    // The primary screen's size; 0 x 0 without one.
    platform::ScreenSize GetScreenSize() const override;
    std::uint16_t GetDefaultLanguageId() const override;
    bool SetThreadPriority(int priority) override;
    // True once the restart command has run and exited with 0; the system then ends the program.
    bool RequestRestart() override;
    void Sleep(std::uint32_t milliseconds) override;
    std::int64_t CurrentTime() const override;
    void CallCoreService() override;
    void DebugPrint(std::u16string_view text) override;
    std::uint32_t GetLastError() const override;

private:
    std::optional<std::uint16_t> languageId_;
    const TargetCommands& commands_;
    CommandRunner& runner_;
    shared::ErrorState& errors_;
    shared::LogFile* debugLog_;
    shared::EventLog& events_;
};

}  // namespace velkor::board
