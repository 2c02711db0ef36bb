#include "e2e/UpdaterSession.h"

#include "support/ProgramRun.h"

#include <QDeadlineTimer>
#include <QThread>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

namespace velkor::test {
namespace {

constexpr int kWindowTimeoutSeconds = 20;

ProgramResult Xdotool(const QStringList& arguments) {
    return RunProgram(QStringLiteral("xdotool"), arguments, QProcessEnvironment::systemEnvironment(),
                      kWindowTimeoutSeconds * 1000);
}

}  // namespace

UpdaterSession::UpdaterSession(const QStringList& initOptions) {
    const QString device = directory_.filePath(QStringLiteral("device"));
    const ProgramResult init =
        RunProgram(QStringLiteral(VELKOR_DEVICE_BINARY), QStringList{"init", device} + initOptions);
    EXPECT_EQ(init.exitCode, 0) << init.standardError.toStdString();
}

UpdaterSession::~UpdaterSession() {
    if (updater_.state() != QProcess::NotRunning) {
        updater_.kill();
        updater_.waitForFinished();
    }
}

std::filesystem::path UpdaterSession::Device() const {
    return directory_.filePath(QStringLiteral("device")).toStdString();
}

void UpdaterSession::SetFaults(const std::string& faultsJson) {
    const auto path = Device() / "device.json";
    auto config = nlohmann::json::parse(ReadHostFile(path));
    config["faults"] = nlohmann::json::parse(faultsJson);
    WriteHostFile(path, config.dump(2));
}

bool UpdaterSession::Start() {
    return Start({"--device", QString::fromStdString(Device().string())}, QProcessEnvironment::systemEnvironment());
}

bool UpdaterSession::Start(const QStringList& arguments, const QProcessEnvironment& environment) {
    updater_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    updater_.setProcessEnvironment(environment);
    updater_.start(QStringLiteral(VELKOR_BINARY), arguments);
    if (!updater_.waitForStarted()) {
        return false;
    }
    const ProgramResult search = Xdotool({"search", "--sync", "--onlyvisible", "--name", "^VelkorWnd$"});
    windowId_ = QString::fromUtf8(search.standardOutput).split('\n').value(0).trimmed();
    if (windowId_.isEmpty()) {
        return false;
    }
    return Xdotool({"windowfocus", "--sync", windowId_}).exitCode == 0;
}

bool UpdaterSession::WaitForWindow(const QString& titlePattern, int timeoutSeconds) {
    const ProgramResult search =
        RunProgram(QStringLiteral("xdotool"), {"search", "--sync", "--onlyvisible", "--name", titlePattern},
                   QProcessEnvironment::systemEnvironment(), timeoutSeconds * 1000);
    const QString window = QString::fromUtf8(search.standardOutput).split('\n').value(0).trimmed();
    return !window.isEmpty() && Xdotool({"windowfocus", "--sync", window}).exitCode == 0;
}

QStringList UpdaterSession::OtherWindows() {
    const ProgramResult search =
        Xdotool({"search", "--onlyvisible", "--pid", QString::number(updater_.processId())});
    QStringList windows = QString::fromUtf8(search.standardOutput).split('\n', Qt::SkipEmptyParts);
    windows.removeAll(windowId_);
    return windows;
}

bool UpdaterSession::WaitForDialog(int timeoutSeconds) {
    const QDeadlineTimer deadline{std::chrono::seconds(timeoutSeconds)};
    for (; !deadline.hasExpired(); QThread::msleep(100)) {
        if (const QStringList windows = OtherWindows(); !windows.isEmpty()) {
            return Xdotool({"windowfocus", "--sync", windows.first()}).exitCode == 0;
        }
    }
    return false;
}

bool UpdaterSession::WaitForDialogToClose(int timeoutSeconds) {
    const QDeadlineTimer deadline{std::chrono::seconds(timeoutSeconds)};
    for (; !deadline.hasExpired(); QThread::msleep(100)) {
        if (OtherWindows().isEmpty()) {
            return true;
        }
    }
    return false;
}

bool UpdaterSession::PressKeys(const QStringList& keys) {
    return Xdotool(QStringList{"key", "--delay", "50"} + keys).exitCode == 0;
}

int UpdaterSession::WaitForExit(int timeoutMs) {
    if (!updater_.waitForFinished(timeoutMs)) {
        return -1;
    }
    return updater_.exitStatus() == QProcess::NormalExit ? updater_.exitCode() : -1;
}

}  // namespace velkor::test
