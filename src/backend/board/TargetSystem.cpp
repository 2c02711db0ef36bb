#include "backend/board/TargetSystem.h"

#include "backend/shared/DebugLine.h"
#include "backend/shared/ErrnoErrors.h"

#include <QGuiApplication>
#include <QLocale>
#include <QScreen>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <iostream>
#include <thread>

namespace velkor::board {
namespace {

constexpr std::uint16_t kEnglish = 0x0409;
constexpr std::uint16_t kSimplifiedChinese = 0x0804;
constexpr int kNormalPriority = 251;
constexpr int kHighestNice = -20;
constexpr int kLowestNice = 19;

}  // namespace

std::uint16_t LanguageFromLocale(std::string_view localeName) {
    return localeName == "zh_CN" ? kSimplifiedChinese : kEnglish;
}

int NiceForPriority(int priority) { return std::clamp(priority - kNormalPriority, kHighestNice, kLowestNice); }

TargetSystem::TargetSystem(std::optional<std::uint16_t> languageId, const TargetCommands& commands,
                           CommandRunner& runner, shared::ErrorState& errors, shared::LogFile* debugLog,
                           shared::EventLog& events)
    : languageId_(languageId),
      commands_(commands),
      runner_(runner),
      errors_(errors),
      debugLog_(debugLog),
      events_(events) {}

platform::ScreenSize TargetSystem::GetScreenSize() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        return {};
    }
    return {screen->size().width(), screen->size().height()};
}

std::uint16_t TargetSystem::GetDefaultLanguageId() const {
    return languageId_.value_or(LanguageFromLocale(QLocale::system().name().toStdString()));
}

bool TargetSystem::SetThreadPriority(int priority) {
    events_.ThreadPriority(priority);
    // On Linux a thread's nice value is set through its thread id.
    if (::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), NiceForPriority(priority)) != 0) {
        return errors_.Fail(shared::DeviceErrorFromErrno(errno));
    }
    return true;
}

bool TargetSystem::RequestRestart() {
    events_.Restart();
    return runner_.Run(commands_.restart, {}, errors_);
}

void TargetSystem::Sleep(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::int64_t TargetSystem::CurrentTime() const { return static_cast<std::int64_t>(std::time(nullptr)); }

void TargetSystem::CallCoreService() {
    events_.CoreService();
    if (!commands_.coreService.empty()) {
        runner_.Run(commands_.coreService, {}, errors_);
    }
}

void TargetSystem::DebugPrint(std::u16string_view text) {
    const std::string line = shared::DebugLine(text);
    if (debugLog_) {
        debugLog_->WriteLine(line);
    }
    std::cerr << "velkor debug: " << line << '\n';
}

std::uint32_t TargetSystem::GetLastError() const { return errors_.Last(); }

}  // namespace velkor::board
