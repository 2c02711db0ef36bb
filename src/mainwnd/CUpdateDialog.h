#pragma once

#include "mainwnd/FocusMap.h"
#include "mainwnd/MainWindowLayout.h"
#include "platform/Platform.h"
#include "ui/DataExchange.h"
#include "ui/DialogControls.h"
#include "ui/UiStrings.h"
#include "update/UpdateSettings.h"
#include "update/UpdateWindow.h"

#include <QDialog>
#include <QIcon>
#include <QPushButton>

#include <cstdint>
#include <string>
#include <string_view>

namespace velkor::ui {
class HotKey;
class TimerSet;
}  // namespace velkor::ui

namespace velkor::mainwnd {

inline constexpr int HOTKEY_ID = 1;
inline constexpr unsigned kVirtualKeyF24 = 0x87;
inline constexpr int TIMER_HOTKEY = 0x7001;
inline constexpr int TIMER_AUTO_UPDATE = 0x7002;
inline constexpr std::u16string_view kSettingsPath = u"\\StorageCard\\updater.cfg";
inline constexpr std::u16string_view kWindowText = u"VelkorWnd";

// The updater's main window: one row per image with its check box, path and status, and the
// command buttons. It holds the operator's choice for the whole run.
class CUpdateDialog : public QDialog, private update::UpdateWindow {
    Q_OBJECT

public:
    CUpdateDialog(platform::Platform& platform, const ui::UiStrings& strings, QWidget* parent = nullptr);
    ~CUpdateDialog() override;

    // Creates the controls and initialises the window, without running it.
    void Create();
    // Creates the window and runs it until it ends.
    int DoModal();

    // Leaving through the framework's OK and Cancel goes through the guarded handlers.
    void accept() override;
    void reject() override;

    // The image steps of an update, each on the path the window holds for its row: 1 when the
    // image was written, otherwise 0 (or the flash driver's own answer).
    int UpdateOs();
    int UpdateLogo();
    int UpdateBoot();
    int UpdateAppPackage();
    int UpdateReset();
    int UpdateLogo2();
    // Formats the flash data volume again; the outcome shows in the debug output only.
    void FormatDataVolume() override;
    // Asks the sibling programs that may hold the flash to close, and ends them.
    void StopRunningPrograms() override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Row;
    static const Row& RowOf(update::ImageKind kind);

    void UpdateData(bool saveAndValidate) override;
    void DoDataExchange(const ui::DataExchange& exchange);
    bool OnInitDialog();
    void ConnectMessageMap();

    std::u16string FindStorageCard();
    void DetectAutoUpdate(std::u16string_view folder);
    void LoadSettings();
    void SaveSettings();
    bool UpdateRunning() const;
    int WriteImage(update::ImageKind kind);

    // Lays the rows and command buttons out for the window's size.
    void OnSize();
    // True when the key was dealt with here and goes no further.
    bool PreTranslateMessage(QObject* target, const QKeyEvent& key);
    // Each moves the focus one step along its map from `focused`, the control the key was sent
    // to, which holds the focus whichever window the window system thinks is active; false when it
    // is not on the map (Up then puts the focus on Exit first).
    bool FocusLeft(const QObject* focused);
    bool FocusRight(const QObject* focused);
    bool FocusUp(const QObject* focused);
    bool FocusDown(const QObject* focused);
    bool MoveFocus(const QObject* focused, FocusDirection direction);
    void OnSetFocus(QWidget* lostFocus);
    std::intptr_t OnHotKey(std::uintptr_t id, std::intptr_t keyAndModifiers);
    void OnBootCheck();
    // Lets the operator pick the row's image with the file picker, offering files of `extension`.
    void BrowseForImage(std::u16string_view extension, std::u16string& path);
    void OnFormat();
    void OnUpdate();
    // The card checked, then the run; `unattended` when the AutoUpdate folder's timer started it.
    void RunUpdate(bool unattended);
    void OnTimer(int id);
    void ClearStatusLabel(update::ImageKind kind) override;

    // The rest of what an update run needs of the window.
    int RunStep(update::ImageKind kind) override;
    platform::UpdateStart StartUpdate(bool unattended) override;
    bool CommitUpdate(bool wholeUpdate) override;
    bool IsChecked(update::ImageKind kind) override;
    bool IsCheckBoxEnabled(update::ImageKind kind) override;
    update::UpdateSettings& Settings() override;
    std::u16string& Status(update::ImageKind kind) override;
    void PaintStatus(update::ImageKind kind) override;
    void EnableButton(update::CommandButton button, bool enabled) override;
    void FocusButton(update::CommandButton button) override;
    void SetWaitCursor(bool shown) override;
    void ShowMessage(std::u16string_view text) override;
    QPushButton* Button(update::CommandButton button) const;
    void OnExit();
    void OnRestart();
    void OnOK();
    void OnCancel();

    platform::Platform& platform_;
    const ui::UiStrings& strings_;
    ui::DialogControls controls_;
    const ControlSizes templateSizes_;
    ui::TimerSet* timers_;
    ui::HotKey* hotKey_;

    QPushButton* restartButton = nullptr;
    QPushButton* exitButton = nullptr;
    QPushButton* updateButton = nullptr;
    QPushButton* formatButton = nullptr;
    update::UpdateSettings updateSettings;
    std::u16string osStatus;
    std::u16string logoStatus;
    std::u16string logo2Status;
    std::u16string bootStatus;
    std::u16string appStatus;
    std::u16string resetStatus;
    std::u16string settingsPath;
    QIcon appIcon;
    std::int32_t autoUpdate = 0;
    std::u16string storageCardPath;
};

}  // namespace velkor::mainwnd
