#include "support/FakeWindows.h"

#include "platform/ErrorCodes.h"

#include <algorithm>

namespace velkor::test {

namespace error = platform::error;

class FakeWindows::Process : public platform::ProcessHandle {
public:
    Process(FakeWindows& owner, std::uint32_t id) : owner_(owner), id_(id) {}
    ~Process() override { owner_.calls.push_back("close " + std::to_string(id_)); }

    bool Terminate(std::uint32_t exitCode) override {
        owner_.calls.push_back("terminate " + std::to_string(id_) + " " + std::to_string(exitCode));
        return owner_.End(id_);
    }

private:
    FakeWindows& owner_;
    std::uint32_t id_;
};

const FakeWindow* FakeWindows::Find(platform::WindowHandle window) {
    const auto found = std::find_if(zOrder.begin(), zOrder.end(),
                                    [&](const FakeWindow& candidate) { return candidate.handle == window; });
    if (found == zOrder.end()) {
        errors_.Fail(error::kInvalidWindowHandle);
        return nullptr;
    }
    return &*found;
}

platform::WindowHandle FakeWindows::GetWindow(platform::WindowHandle window, platform::WindowRelation relation) {
    const FakeWindow* found = Find(window);
    if (!found) {
        return 0;
    }
    switch (relation) {
        case platform::WindowRelation::Last:
            calls.push_back("walk");
            return zOrder.back().handle;
        case platform::WindowRelation::Previous:
            return found != &zOrder.front() ? (found - 1)->handle : 0;
        case platform::WindowRelation::Owner:
            return found->owner;
    }
    errors_.Fail(error::kInvalidParameter);
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
    if (found == executables.end()) {
        errors_.Fail(error::kInvalidParameter);
        return {};
    }
    if (found->second.size() >= maxChars) {
        // Cut to fit with its terminator, as the device does.
        errors_.Fail(error::kInsufficientBuffer);
        return found->second.substr(0, maxChars == 0 ? 0 : maxChars - 1);
    }
    return found->second;
}

std::intptr_t FakeWindows::SendCommand(platform::WindowHandle window, std::uintptr_t wParam, std::intptr_t) {
    const FakeWindow* found = Find(window);
    if (!found) {
        return 0;
    }
    calls.push_back("command " + std::to_string(window) + " " + std::to_string(wParam));
    if (found->closesOnCommand) {
        std::erase_if(zOrder, [&](const FakeWindow& candidate) { return candidate.handle == window; });
    }
    return 0;
}

std::unique_ptr<platform::ProcessHandle> FakeWindows::OpenProcess(std::uint32_t, std::uint32_t processId) {
    calls.push_back("open " + std::to_string(processId));
    if (!IsSibling(processId)) {
        errors_.Fail(error::kInvalidParameter);
        return nullptr;
    }
    if (openFails.count(processId)) {
        errors_.Fail(error::kAccessDenied);
        return nullptr;
    }
    return std::make_unique<Process>(*this, processId);
}

bool FakeWindows::IsSibling(std::uint32_t processId) const {
    const auto updater = std::find_if(zOrder.begin(), zOrder.end(),
                                      [&](const FakeWindow& window) { return window.handle == mainWindow; });
    const bool known = executables.count(processId) > 0 ||
                       std::any_of(zOrder.begin(), zOrder.end(),
                                   [&](const FakeWindow& window) { return window.processId == processId; });
    return processId != 0 && known && !ended_.count(processId) &&
           (updater == zOrder.end() || updater->processId != processId);
}

bool FakeWindows::End(std::uint32_t processId) {
    if (terminateFails.count(processId) || ended_.count(processId)) {
        return errors_.Fail(error::kAccessDenied);
    }
    ended_.insert(processId);
    if (!terminateLeavesWindows) {
        std::erase_if(zOrder, [&](const FakeWindow& window) { return window.processId == processId; });
        executables.erase(processId);
    }
    return true;
}

}  // namespace velkor::test
