#include "support/WindowsProbe.h"

#include "platform/DeviceText.h"
#include "update/ProgramStopper.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <vector>

namespace velkor::test {
namespace {

// Longer than any scene's stack, so that a walk that loops still ends.
constexpr std::size_t kMaxWalk = 64;

}  // namespace

WindowsProbe::WindowsProbe(platform::Windows& windows, shared::ErrorState& errors, Naming naming)
    : windows_(windows), errors_(errors), naming_(std::move(naming)) {}

std::string WindowsProbe::Walk() {
    std::vector<std::string> walked;
    for (platform::WindowHandle window = windows_.GetWindow(windows_.MainWindow(), platform::WindowRelation::Last);
         window != 0 && walked.size() < kMaxWalk;
         window = windows_.GetWindow(window, platform::WindowRelation::Previous)) {
        walked.push_back(naming_.window(window));
    }
    return fmt::format("{}", fmt::join(walked, " "));
}

std::string WindowsProbe::Main() {
    return Answer([&] { return naming_.window(windows_.MainWindow()); });
}

std::string WindowsProbe::Neighbour(platform::WindowHandle window, platform::WindowRelation relation) {
    return Answer([&] { return naming_.window(windows_.GetWindow(window, relation)); });
}

std::string WindowsProbe::Owned(platform::WindowHandle window) {
    return Answer([&] { return windows_.GetWindow(window, platform::WindowRelation::Owner) != 0 ? "owned" : "none"; });
}

std::string WindowsProbe::Visible(platform::WindowHandle window) {
    return Answer([&] { return windows_.IsWindowVisible(window) ? 1 : 0; });
}

std::string WindowsProbe::ProcessId(platform::WindowHandle window) {
    return Answer([&] { return windows_.GetWindowProcessId(window); });
}

std::string WindowsProbe::Module(std::uint32_t processId, std::size_t maxChars) {
    return Answer([&] { return platform::ToUtf8(windows_.GetModuleFileName(processId, maxChars)); });
}

std::string WindowsProbe::Find(std::u16string_view executable) {
    return Answer([&] {
        std::uint32_t processId = 0;
        const platform::WindowHandle window =
            update::FindProgramWindow(windows_, windows_.MainWindow(), executable, processId);
        return fmt::format("{} {}", naming_.window(window), processId);
    });
}

std::string WindowsProbe::Command(platform::WindowHandle window, std::uintptr_t wParam) {
    return Answer([&] { return windows_.SendCommand(window, wParam, 0); });
}

std::string WindowsProbe::Open(std::uint32_t processId) {
    return Answer([&] {
        process_ = windows_.OpenProcess(platform::PROCESS_TERMINATE, processId);
        return process_ ? "handle" : "null";
    });
}

std::string WindowsProbe::Terminate(std::uint32_t exitCode) {
    return Answer([&] { return process_->Terminate(exitCode) ? 1 : 0; });
}

std::string WindowsProbe::Close() {
    process_.reset();
    return "closed";
}

template <typename Call>
std::string WindowsProbe::Answer(Call call) {
    errors_ = shared::ErrorState();
    const std::string answer = naming_.text(fmt::format("{}", call()));
    const std::uint32_t error = errors_.Last();
    return error == platform::error::kSuccess ? answer : fmt::format("{} error {}", answer, error);
}

}  // namespace velkor::test
