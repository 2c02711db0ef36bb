#include "mainwnd/CUpdateDialog.h"

#include "mainwnd/AutoUpdateDetection.h"
#include "mainwnd/CardRefusalMessage.h"
#include "mainwnd/CSettingsFile.h"
#include "mainwnd/MainWindowTemplate.h"
#include "mainwnd/SettingsEntries.h"
#include "mainwnd/StorageCardSearch.h"
#include "platform/DeviceText.h"
#include "storage/DataVolumeFormat.h"
#include "trust/BuildTime.h"
#include "trust/CardGate.h"
#include "ui/DialogFocus.h"
#include "ui/DialogResult.h"
#include "ui/FullScreen.h"
#include "ui/HotKey.h"
#include "ui/ModalFocusReturn.h"
#include "ui/PostedClick.h"
#include "ui/QtText.h"
#include "ui/TimerSet.h"
#include "ui/picker/CFilePickerDialog.h"
#include "update/ImageSteps.h"
#include "update/ProgramStopper.h"
#include "update/SecondLogoStep.h"
#include "update/UpdateSequence.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>

#include <array>

namespace velkor::mainwnd {
namespace {

constexpr int kAutoUpdateDelayMs = 500;
constexpr int kHotKeyDelayMs = 3000;

}  // namespace

// The controls and members of one image row, and its step.
struct CUpdateDialog::Row {
    update::ImageKind kind;
    int checkBox;
    int statusLabel;
    std::u16string CUpdateDialog::*status;
    int (CUpdateDialog::*step)();
};

const CUpdateDialog::Row& CUpdateDialog::RowOf(update::ImageKind kind) {
    using update::ImageKind;
    // Indexed by ImageKind.
    static const std::array<Row, 6> kRows{{
        {ImageKind::OS, control::kOsCheck, control::kOsStatus, &CUpdateDialog::osStatus, &CUpdateDialog::UpdateOs},
        {ImageKind::Logo, control::kLogoCheck, control::kLogoStatus, &CUpdateDialog::logoStatus,
         &CUpdateDialog::UpdateLogo},
        {ImageKind::Logo2, control::kLogo2Check, control::kLogo2Status, &CUpdateDialog::logo2Status,
         &CUpdateDialog::UpdateLogo2},
        {ImageKind::Boot, control::kBootCheck, control::kBootStatus, &CUpdateDialog::bootStatus,
         &CUpdateDialog::UpdateBoot},
        {ImageKind::App, control::kAppCheck, control::kAppStatus, &CUpdateDialog::appStatus,
         &CUpdateDialog::UpdateAppPackage},
        {ImageKind::Reset, control::kResetCheck, control::kResetStatus, &CUpdateDialog::resetStatus,
         &CUpdateDialog::UpdateReset},
    }};
    return kRows.at(static_cast<std::size_t>(kind));
}

namespace {

// The browse buttons of the image rows (OnBrowseOs, OnBrowseLogo, OnBrowseLogo2, OnBrowseBoot and
// OnBrowseApp): each offers files of its row's extension and fills its row's path.
struct BrowseButton {
    int button;
    std::u16string_view extension;
    std::u16string update::UpdateSettings::*path;
};

using Settings = update::UpdateSettings;

constexpr std::array<BrowseButton, 5> kBrowseButtons{{
    {control::kOsBrowse, u"bin", &Settings::osPath},
    {control::kLogoBrowse, u"bmp", &Settings::logoPath},
    {control::kLogo2Browse, u"bmp", &Settings::logo2Path},
    {control::kBootBrowse, u"nb0", &Settings::bootPath},
    {control::kAppBrowse, u"bin", &Settings::appPath},
}};

}  // namespace

CUpdateDialog::CUpdateDialog(platform::Platform& platform, const ui::UiStrings& strings, QWidget* parent)
    : QDialog(parent),
      platform_(platform),
      strings_(strings),
      templateSizes_(MainWindowControlSizes()),
      timers_(new ui::TimerSet(this)),
      hotKey_(new ui::HotKey(this)),
      settingsPath(kSettingsPath),
      appIcon(QStringLiteral(":/app.png")) {
    // A popup without caption bar that stays above every other window.
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
}

CUpdateDialog::~CUpdateDialog() = default;

void CUpdateDialog::Create() {
    controls_.Create(*this, MainWindowTemplate());
    ConnectMessageMap();
    OnInitDialog();
}

int CUpdateDialog::DoModal() {
    Create();
    return exec();
}

void CUpdateDialog::ConnectMessageMap() {
    ui::ConnectSetFocus(*this, [this](QWidget* lostFocus) { OnSetFocus(lostFocus); });
    connect(controls_.ItemAs<QPushButton>(control::kExit), &QPushButton::clicked, this, &CUpdateDialog::OnExit);
    connect(hotKey_, &ui::HotKey::hotKey, this, &CUpdateDialog::OnHotKey);
    connect(controls_.ItemAs<QCheckBox>(control::kBootCheck), &QCheckBox::clicked, this,
            &CUpdateDialog::OnBootCheck);
    connect(controls_.ItemAs<QPushButton>(control::kRestart), &QPushButton::clicked, this,
            &CUpdateDialog::OnRestart);
    connect(controls_.ItemAs<QPushButton>(control::kFormat), &QPushButton::clicked, this, &CUpdateDialog::OnFormat);
    connect(controls_.ItemAs<QPushButton>(control::kUpdate), &QPushButton::clicked, this, &CUpdateDialog::OnUpdate);
    connect(timers_, &ui::TimerSet::timeout, this, &CUpdateDialog::OnTimer);
    installEventFilter(this);
    for (const ui::ControlTemplate& item : MainWindowTemplate().controls) {
        controls_.Item(item.id)->installEventFilter(this);
    }
    for (const BrowseButton& browse : kBrowseButtons) {
        connect(controls_.ItemAs<QPushButton>(browse.button), &QPushButton::clicked, this,
                [this, &browse] { BrowseForImage(browse.extension, updateSettings.*browse.path); });
    }
}

void CUpdateDialog::UpdateData(bool saveAndValidate) { DoDataExchange(ui::DataExchange(controls_, saveAndValidate)); }

void CUpdateDialog::DoDataExchange(const ui::DataExchange& exchange) {
    exchange.Control(control::kRestart, restartButton);
    exchange.Control(control::kExit, exitButton);
    exchange.Control(control::kUpdate, updateButton);
    exchange.Control(control::kFormat, formatButton);
    exchange.Text(control::kOsPath, updateSettings.osPath);
    exchange.Text(control::kBootPath, updateSettings.bootPath);
    exchange.Text(control::kLogoPath, updateSettings.logoPath);
    exchange.Text(control::kLogo2Path, updateSettings.logo2Path);
    exchange.Text(control::kAppPath, updateSettings.appPath);
    // While an update runs the boxes keep what the operator left when pressing Update: each row
    // reads its own box at its turn, so copying the stored flags back would undo a choice.
    if (exchange.SavesAndValidates() || !UpdateRunning()) {
        exchange.Check(control::kOsCheck, updateSettings.osEnabled);
        exchange.Check(control::kLogoCheck, updateSettings.logoEnabled);
        exchange.Check(control::kBootCheck, updateSettings.bootEnabled);
        exchange.Check(control::kLogo2Check, updateSettings.logo2Enabled);
        exchange.Check(control::kResetCheck, updateSettings.resetEnabled);
        exchange.Check(control::kAppCheck, updateSettings.appEnabled);
    }
    exchange.Text(control::kOsStatus, osStatus);
    exchange.Text(control::kLogoStatus, logoStatus);
    exchange.Text(control::kLogo2Status, logo2Status);
    exchange.Text(control::kBootStatus, bootStatus);
    exchange.Text(control::kAppStatus, appStatus);
    exchange.Text(control::kResetStatus, resetStatus);
}

bool CUpdateDialog::OnInitDialog() {
    // Top-most and without a caption bar (so it cannot be dragged) since construction.
    setWindowIcon(appIcon);
    hotKey_->Register(HOTKEY_ID, 0, kVirtualKeyF24);
    ui::MakeFullScreen(*this, platform_.system);

    autoUpdate = 0;
    const std::u16string root = FindStorageCard();
    if (!root.empty()) {
        storageCardPath = root;
        DetectAutoUpdate(root + u"\\" + std::u16string(kAutoUpdateFolder) + u"\\");
    }
    if (!autoUpdate) {
        LoadSettings();
    }
    UpdateData(false);

    controls_.Item(control::kOsCheck)->setFocus();
    auto* bootCheck = controls_.ItemAs<QCheckBox>(control::kBootCheck);
    if (bootCheck->isChecked() && bootCheck->isEnabled()) {
        controls_.ItemAs<QCheckBox>(control::kResetCheck)->setChecked(true);
    }
    if (autoUpdate) {
        timers_->Set(TIMER_AUTO_UPDATE, kAutoUpdateDelayMs);
    }
    setWindowTitle(ui::ToQString(kWindowText));
    return false;
}

std::u16string CUpdateDialog::FindStorageCard() {
    return mainwnd::FindStorageCard(platform_.registry, platform_.fileSystem);
}

void CUpdateDialog::DetectAutoUpdate(std::u16string_view folder) {
    if (mainwnd::DetectAutoUpdate(platform_.fileSystem, folder, updateSettings)) {
        autoUpdate = 1;
    }
}

void CUpdateDialog::LoadSettings() {
    platform::StringArray entries;
    CSettingsFile file(platform_.fileSystem, settingsPath);
    file.ReadEntries(entries);
    ApplySettingsEntries(entries, updateSettings);
}

void CUpdateDialog::SaveSettings() {
    UpdateData(true);
    CSettingsFile file(platform_.fileSystem, settingsPath);
    file.WriteEntries(MakeSettingsEntries(updateSettings));
}

bool CUpdateDialog::UpdateRunning() const { return updateButton && !updateButton->isEnabled(); }

int CUpdateDialog::UpdateOs() { return WriteImage(update::ImageKind::OS); }

int CUpdateDialog::UpdateLogo() { return WriteImage(update::ImageKind::Logo); }

int CUpdateDialog::UpdateBoot() { return WriteImage(update::ImageKind::Boot); }

int CUpdateDialog::UpdateAppPackage() { return WriteImage(update::ImageKind::App); }

int CUpdateDialog::UpdateReset() { return update::ResetFlash(platform_); }

int CUpdateDialog::UpdateLogo2() { return update::UpdateSecondLogo(platform_, updateSettings.logo2Path); }

void CUpdateDialog::FormatDataVolume() { storage::FormatDataVolume(platform_); }

void CUpdateDialog::StopRunningPrograms() {
    update::StopRunningPrograms(platform_.windows, platform_.windows.MainWindow());
}

int CUpdateDialog::WriteImage(update::ImageKind kind) {
    return update::WriteImage(platform_, kind, *updateSettings.Path(kind));
}

void CUpdateDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    OnSize();
}

void CUpdateDialog::OnSize() {
    // A size that arrives before the controls exist has nothing to lay out.
    if (!controls_.Item(control::kUpdate)) {
        return;
    }
    const QRect outer = frameGeometry();
    for (const Placement& placement :
         LayoutMainWindow(width(), height(), outer.left() + outer.width(), templateSizes_)) {
        const LayoutBox& box = placement.box;
        controls_.Item(placement.id)->setGeometry(box.left, box.top, box.width, box.height);
    }
    controls_.Item(control::kGroupBox)->hide();
}

bool CUpdateDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        return PreTranslateMessage(watched, static_cast<const QKeyEvent&>(*event));
    }
    return QDialog::eventFilter(watched, event);
}

bool CUpdateDialog::PreTranslateMessage(QObject* target, const QKeyEvent& key) {
    switch (key.key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Clicks the focused control once the key is done with, as a tap would; Enter never
            // reaches the dialog's own default-button handling.
            ui::PostClick(target);
            return true;
        // A move along the map ends the key: Qt's buttons would otherwise move the focus again
        // along the tab order. Off the map the key goes on to the dialog's own handling.
        case Qt::Key_Left:
            return FocusLeft(target);
        case Qt::Key_Right:
            return FocusRight(target);
        case Qt::Key_Up:
            return FocusUp(target);
        case Qt::Key_Down:
            return FocusDown(target);
        default:
            return false;
    }
}

bool CUpdateDialog::FocusLeft(const QObject* focused) { return MoveFocus(focused, FocusDirection::Left); }

bool CUpdateDialog::FocusRight(const QObject* focused) { return MoveFocus(focused, FocusDirection::Right); }

bool CUpdateDialog::FocusUp(const QObject* focused) {
    if (MoveFocus(focused, FocusDirection::Up)) {
        return true;
    }
    controls_.Item(control::kExit)->setFocus();
    return false;
}

bool CUpdateDialog::FocusDown(const QObject* focused) { return MoveFocus(focused, FocusDirection::Down); }

bool CUpdateDialog::MoveFocus(const QObject* focused, FocusDirection direction) {
    const int id = focused->objectName().toInt();
    const std::optional<int> next = controls_.Item(id) == focused ? NextFocus(id, direction) : std::nullopt;
    if (!next) {
        return false;
    }
    controls_.Item(*next)->setFocus();
    return true;
}

void CUpdateDialog::OnSetFocus(QWidget* lostFocus) {
    if (lostFocus) {
        lostFocus->setFocus();
    }
}

std::intptr_t CUpdateDialog::OnHotKey(std::uintptr_t id, std::intptr_t keyAndModifiers) {
    const auto virtualKey = static_cast<unsigned>((keyAndModifiers >> 16) & 0xFFFF);
    if (id == HOTKEY_ID && virtualKey == kVirtualKeyF24) {
        timers_->Kill(TIMER_HOTKEY);
        timers_->Set(TIMER_HOTKEY, kHotKeyDelayMs);
    }
    return 0;
}

void CUpdateDialog::OnBootCheck() {
    const bool bootChecked = controls_.ItemAs<QCheckBox>(control::kBootCheck)->isChecked();
    controls_.ItemAs<QCheckBox>(control::kResetCheck)->setChecked(bootChecked);
}

void CUpdateDialog::BrowseForImage(std::u16string_view extension, std::u16string& path) {
    // Owned by the main window, so it stays above it and the main window takes no input meanwhile.
    const ui::ModalFocusReturn focusReturn(*this);
    ui::CFilePickerDialog picker(platform_, strings_, this);
    picker.m_extensions.Append(std::u16string(extension));
    if (picker.DoModal() != ui::IDCANCEL && picker.m_selectedPaths.Count() > 0) {
        // Check boxes changed before the click keep their new state.
        UpdateData(true);
        path = picker.m_selectedPaths.At(0);
        UpdateData(false);
    }
}

// At once and without a word to the operator: the button is for people who know what it does.
void CUpdateDialog::OnFormat() { FormatDataVolume(); }

// The card is checked before the run does anything; a card the device does not trust changes nothing.
void CUpdateDialog::OnUpdate() { RunUpdate(false); }

void CUpdateDialog::RunUpdate(bool unattended) {
    update::UpdateSequence sequence(*this, platform_.system, platform_.fileSystem);
    trust::CardGate gate(platform_, trust::ProgramBuildTime());
    if (const auto refusal = gate.Check(FindStorageCard(), sequence.ChosenRows(), updateSettings)) {
        ShowMessage(CardRefusalMessage(strings_, *refusal));
        return;
    }
    sequence.Run([&gate] { return gate.RowsGoOn(); }, unattended);
}

void CUpdateDialog::OnTimer(int id) {
    if (id == TIMER_HOTKEY) {
        timers_->Kill(id);
        platform_.system.CallCoreService();
    } else if (id == TIMER_AUTO_UPDATE) {
        timers_->Kill(id);
        RunUpdate(true);
    }
}

void CUpdateDialog::ClearStatusLabel(update::ImageKind kind) {
    autoUpdate = 0;
    if (auto* label = controls_.ItemAs<QLabel>(RowOf(kind).statusLabel)) {
        label->clear();
        label->repaint();
    }
}

int CUpdateDialog::RunStep(update::ImageKind kind) { return (this->*RowOf(kind).step)(); }

platform::UpdateStart CUpdateDialog::StartUpdate(bool unattended) {
    return platform_.deviceIo.StartUpdate(unattended);
}

bool CUpdateDialog::CommitUpdate(bool wholeUpdate) { return update::CommitUpdate(platform_, wholeUpdate) != 0; }

bool CUpdateDialog::IsChecked(update::ImageKind kind) {
    return controls_.ItemAs<QCheckBox>(RowOf(kind).checkBox)->checkState() == Qt::Checked;
}

bool CUpdateDialog::IsCheckBoxEnabled(update::ImageKind kind) {
    return controls_.Item(RowOf(kind).checkBox)->isEnabled();
}

update::UpdateSettings& CUpdateDialog::Settings() { return updateSettings; }

std::u16string& CUpdateDialog::Status(update::ImageKind kind) { return this->*RowOf(kind).status; }

void CUpdateDialog::PaintStatus(update::ImageKind kind) {
    auto* label = controls_.ItemAs<QLabel>(RowOf(kind).statusLabel);
    label->setText(QString::fromStdU16String(Status(kind)));
    label->repaint();
}

QPushButton* CUpdateDialog::Button(update::CommandButton button) const {
    switch (button) {
        case update::CommandButton::Format:
            return formatButton;
        case update::CommandButton::Update:
            return updateButton;
        case update::CommandButton::Exit:
            return exitButton;
    }
    return nullptr;
}

void CUpdateDialog::EnableButton(update::CommandButton button, bool enabled) { Button(button)->setEnabled(enabled); }

void CUpdateDialog::FocusButton(update::CommandButton button) { Button(button)->setFocus(); }

void CUpdateDialog::SetWaitCursor(bool shown) {
    if (shown) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void CUpdateDialog::ShowMessage(std::u16string_view text) {
    platform_.system.DebugPrint(platform::Format(u"Message: %s\n", text));
    const ui::ModalFocusReturn focusReturn(*this);
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                    ui::ToQString(text), QMessageBox::Ok, this);
    box.exec();
}

void CUpdateDialog::OnExit() { OnOK(); }

void CUpdateDialog::OnRestart() {
    if (UpdateRunning()) {
        return;
    }
    SaveSettings();
    platform_.system.RequestRestart();
}

void CUpdateDialog::OnOK() {
    if (UpdateRunning()) {
        return;
    }
    SaveSettings();
    QDialog::accept();
}

void CUpdateDialog::OnCancel() {
    if (UpdateRunning()) {
        return;
    }
    QDialog::reject();
}

void CUpdateDialog::accept() { OnOK(); }

void CUpdateDialog::reject() { OnCancel(); }

}  // namespace velkor::mainwnd
