#pragma once

#include "platform/Windows.h"
#include "sim/ErrorState.h"

namespace velkor::sim {

// (Scaffold: the updater's window alone.)
class SimWindows : public platform::Windows {
public:
    explicit SimWindows(ErrorState& errors) : errors_(errors) {}

    platform::WindowHandle MainWindow() override { return 1; }
    platform::WindowHandle GetWindow(platform::WindowHandle, platform::WindowRelation relation) override {
        return relation == platform::WindowRelation::Last ? 1 : 0;
    }
    bool IsWindowVisible(platform::WindowHandle) override { return true; }
    std::uint32_t GetWindowProcessId(platform::WindowHandle) override { return 0; }
    std::u16string GetModuleFileName(std::uint32_t, std::size_t) override { return u"\\Windows\\Velkor.exe"; }
    std::intptr_t SendCommand(platform::WindowHandle, std::uintptr_t, std::intptr_t) override { return 0; }
    std::unique_ptr<platform::ProcessHandle> OpenProcess(std::uint32_t, std::uint32_t) override {
        errors_.Fail(platform::error::kInvalidParameter);
        return nullptr;
    }

private:
    ErrorState& errors_;
};

}  // namespace velkor::sim
