#include "support/FakeWindows.h"

#include <algorithm>

namespace velkor::test {

class FakeWindows::Process : public platform::ProcessHandle {
public:
    Process(FakeWindows& owner, std::uint32_t id) : owner_(owner), id_(id) {}
    ~Process() override { owner_.calls.push_back("close " + std::to_string(id_)); }

    bool Terminate(std::uint32_t exitCode) override {
        owner_.calls.push_back("terminate " + std::to_string(id_) + " " + std::to_string(exitCode));
        if (!owner_.terminateLeavesWindows) {
            std::erase_if(owner_.zOrder, [&](const FakeWindow& window) { return window.processId == id_; });
        }
        return true;
    }

private:
    FakeWindows& owner_;
    std::uint32_t id_;
};

const FakeWindow* FakeWindows::Find(platform::WindowHandle window) const {
    const auto found = std::find_if(zOrder.begin(), zOrder.end(),
                                    [&](const FakeWindow& candidate) { return candidate.handle == window; });
    return found == zOrder.end() ? nullptr : &*found;
}

platform::WindowHandle FakeWindows::GetWindow(platform::WindowHandle window, platform::WindowRelation relation) {
    const FakeWindow* found = Find(window);
    switch (relation) {
        case platform::WindowRelation::Last:
            calls.push_back("walk");
            return zOrder.empty() ? 0 : zOrder.back().handle;
        case platform::WindowRelation::Previous:
            return found && found != &zOrder.front() ? (found - 1)->handle : 0;
        case platform::WindowRelation::Owner:
            return found ? found->owner : 0;
    }
    return 0;
}

bool FakeWindows::IsWindowVisible(platform::WindowHandle window) {
    const FakeWindow* found = Find(window);
    return found && found->visible;
}

std::uint32_t FakeWindows::GetWindowProcessId(platform::WindowHandle window) {
    const FakeWindow* found = Find(window);
    return found ? found->processId : 0;
}

std::u16string FakeWindows::GetModuleFileName(std::uint32_t processId, std::size_t maxChars) {
    const auto found = executables.find(processId);
    return found == executables.end() || found->second.size() >= maxChars ? std::u16string() : found->second;
}

std::intptr_t FakeWindows::SendCommand(platform::WindowHandle window, std::uintptr_t wParam, std::intptr_t) {
    calls.push_back("command " + std::to_string(window) + " " + std::to_string(wParam));
    return 0;
}

std::unique_ptr<platform::ProcessHandle> FakeWindows::OpenProcess(std::uint32_t, std::uint32_t processId) {
    calls.push_back("open " + std::to_string(processId));
    return openFails ? nullptr : std::make_unique<Process>(*this, processId);
}

}  // namespace velkor::test
