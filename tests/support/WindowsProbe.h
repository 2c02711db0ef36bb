#pragma once

#include "backend/shared/ErrorState.h"
#include "platform/Windows.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace velkor::test {

// Calls a window manager and answers each call as text: its result, and " error <code>" when the
// call set an error code. The test names the windows, and rewrites the texts (process ids, host
// paths) as it wants to read them.
class WindowsProbe {
public:
    struct Naming {
        std::function<std::string(platform::WindowHandle)> window;
        std::function<std::string(std::string)> text;
    };

    // `errors` is the last error `windows` sets; the probe clears it before each call.
    WindowsProbe(platform::Windows& windows, shared::ErrorState& errors, Naming naming);

    // Bottom-up from Last, as the updater looks for programs.
    std::string Walk();
    std::string Main();
    std::string Neighbour(platform::WindowHandle window, platform::WindowRelation relation);
    // "owned" or "none", whichever window the owner is.
    std::string Owned(platform::WindowHandle window);
    std::string Visible(platform::WindowHandle window);
    std::string ProcessId(platform::WindowHandle window);
    std::string Module(std::uint32_t processId, std::size_t maxChars = 260);
    // The updater's own search for a program's window, and the process it found.
    std::string Find(std::u16string_view executable);
    std::string Command(platform::WindowHandle window, std::uintptr_t wParam);
    // Keeps the handle for Terminate and Close.
    std::string Open(std::uint32_t processId);
    std::string Terminate(std::uint32_t exitCode);
    std::string Close();

private:
    template <typename Call>
    std::string Answer(Call call);

    platform::Windows& windows_;
    shared::ErrorState& errors_;
    Naming naming_;
    std::unique_ptr<platform::ProcessHandle> process_;
};

}  // namespace velkor::test
