#include "update/ProgramStopper.h"

#include "platform/DeviceText.h"

#include <array>

namespace velkor::update {
namespace {

// In the order they are stopped.
constexpr std::array<std::u16string_view, 2> kSiblingPrograms{u"\\Windows\\Tirnow.exe", u"\\Windows\\Pavlor.exe"};
constexpr std::size_t kModuleNameChars = 260;
constexpr std::uint32_t kStoppedExitCode = 4;
// The program may take a moment to take its window down; it is looked for at most this often.
constexpr int kLookUpsAfterTermination = 10;

bool IsCandidate(platform::Windows& windows, platform::WindowHandle window, platform::WindowHandle startWindow) {
    return window != startWindow && windows.IsWindowVisible(window) &&
           windows.GetWindow(window, platform::WindowRelation::Owner) == 0;
}

void StopProgram(platform::Windows& windows, platform::WindowHandle mainWindow, std::u16string_view executable) {
    std::uint32_t processId = 0;
    const platform::WindowHandle window = FindProgramWindow(windows, mainWindow, executable, processId);
    if (window == 0) {
        return;
    }
    windows.SendCommand(window, platform::IDCANCEL, 0);
    windows.SendCommand(window, platform::IDOK, 0);
    if (processId == 0) {
        return;
    }
    if (const auto process = windows.OpenProcess(platform::PROCESS_TERMINATE, processId)) {
        process->Terminate(kStoppedExitCode);
    }
    for (int lookUp = 0;
         lookUp < kLookUpsAfterTermination && FindProgramWindow(windows, mainWindow, executable, processId) != 0;
         ++lookUp) {
    }
}

}  // namespace

platform::WindowHandle FindProgramWindow(platform::Windows& windows, platform::WindowHandle startWindow,
                                         std::u16string_view executable, std::uint32_t& processId) {
    for (platform::WindowHandle window = windows.GetWindow(startWindow, platform::WindowRelation::Last); window != 0;
         window = windows.GetWindow(window, platform::WindowRelation::Previous)) {
        if (!IsCandidate(windows, window, startWindow)) {
            continue;
        }
        const std::uint32_t windowProcess = windows.GetWindowProcessId(window);
        if (platform::EqualsIgnoreCase(windows.GetModuleFileName(windowProcess, kModuleNameChars), executable)) {
            processId = windowProcess;
            return window;
        }
    }
    return 0;
}

void StopRunningPrograms(platform::Windows& windows, platform::WindowHandle mainWindow) {
    for (const std::u16string_view executable : kSiblingPrograms) {
        StopProgram(windows, mainWindow, executable);
    }
}

}  // namespace velkor::update
