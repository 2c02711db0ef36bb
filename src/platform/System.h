#pragma once

#include <cstdint>
#include <string_view>

namespace velkor::platform {

struct ScreenSize {
    int width = 0;
    int height = 0;
};

// Kernel and device services that are not files or the registry.
class System {
public:
    virtual ~System() = default;

    virtual ScreenSize GetScreenSize() const = 0;
    virtual std::uint16_t GetDefaultLanguageId() const = 0;
    // Priority of the calling thread on the device's scale: 0 highest, 255 lowest.
    virtual bool SetThreadPriority(int priority) = 0;
    // Restarts the device; returns only when the restart could not be started.
    virtual bool RequestRestart() = 0;
    // Blocks the calling thread.
    virtual void Sleep(std::uint32_t milliseconds) = 0;
    // Calendar time in whole seconds.
    virtual std::int64_t CurrentTime() const = 0;
    // The core system library's service behind the hot key: no arguments, no result the program uses.
    virtual void CallCoreService() = 0;
    // One debug print, as the program formatted it (usually ending in a line feed).
    virtual void DebugPrint(std::u16string_view text) = 0;
    // The error code of the last failing platform call.
    virtual std::uint32_t GetLastError() const = 0;
};

}  // namespace velkor::platform
