#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <filesystem>
#include <string>

namespace velkor::test {

// A temporary simulated device and the real updater running on it, worked through the X
// display like an operator at the device's keys.
class UpdaterSession {
public:
    // Creates the device with `velkor-device init` and the given options.
    explicit UpdaterSession(const QStringList& initOptions = {});
    ~UpdaterSession();

    std::filesystem::path Device() const;
    std::filesystem::path Card() const { return Device() / "root" / "StorageCard"; }
    // Adds to device.json's "faults" object.
    void SetFaults(const std::string& faultsJson);

    // Starts the updater on this device and waits until its window is up and has the keyboard.
    bool Start();
    // The same with other arguments and environment.
    bool Start(const QStringList& arguments, const QProcessEnvironment& environment);
    // Keys in xdotool's names ("Escape", "shift+Tab", "space").
    bool PressKeys(const QStringList& keys);
    // Waits until a window whose title matches `titlePattern` shows, and gives it the keyboard.
    bool WaitForWindow(const QString& titlePattern, int timeoutSeconds);
    // Waits until a window of the updater other than its main window shows, such as the file
    // picker, which has no title to find it by, and gives it the keyboard.
    bool WaitForDialog(int timeoutSeconds);
    // Waits until the main window is the updater's only window. The keyboard is left where the
    // updater puts it, as an operator's keys would find it.
    bool WaitForDialogToClose(int timeoutSeconds);
    // Waits for the updater to end; its exit code, or -1 when it had to be killed.
    int WaitForExit(int timeoutMs = 15000);
    // How many of the updater's windows show besides its main window.
    int OtherWindowCount() { return static_cast<int>(OtherWindows().size()); }

private:
    // The updater's visible windows other than its main window.
    QStringList OtherWindows();

    QTemporaryDir directory_;
    QProcess updater_;
    QString windowId_;
};

// From the main window's initial focus on the OS check box, back along the tab order.
inline const QStringList kClickExit{"shift+Tab", "shift+Tab", "space"};
inline const QStringList kClickRestart{"shift+Tab", "shift+Tab", "shift+Tab", "shift+Tab", "space"};
inline const QStringList kClickUpdate{"shift+Tab", "shift+Tab", "shift+Tab", "space"};
// The final message of an update run.
inline const QString kMessageBoxTitle = QStringLiteral("^velkor$");

}  // namespace velkor::test
