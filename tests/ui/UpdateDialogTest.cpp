#include "ui/DialogFixture.h"

#include "mainwnd/MainWindowTemplate.h"
#include "support/SettingsBytes.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <vector>

namespace velkor::test {
namespace {

namespace control = mainwnd::control;

constexpr std::u16string_view kSettingsPath = u"\\StorageCard\\updater.cfg";
constexpr std::u16string_view kAutoUpdate = u"\\StorageCard\\AutoUpdate\\";

const std::vector<std::u16string> kOsAndBoot{
    u"1", u"\\StorageCard\\NK.bin", u"0", u"", u"0", u"\\StorageCard\\logo2.bmp",
    u"1", u"\\StorageCard\\Eboot.nb0", u"0", u"", u"0",
};

QTimer* Timer(const QWidget& dialog, int id) {
    return dialog.findChild<QTimer*>(QStringLiteral("timer 0x%1").arg(id, 0, 16));
}

bool TimerActive(const QWidget& dialog, int id) {
    const QTimer* timer = Timer(dialog, id);
    return timer && timer->isActive();
}

using UpdateDialogTest = DialogFixture;

TEST_F(UpdateDialogTest, CreatesTheTemplateControlsInTabOrder) {
    dialog = std::make_unique<mainwnd::CUpdateDialog>(platform, strings);
    dialog->Create();
    const std::vector<int> tabOrder{1008, 1023, 1024, 1015, 1001, 1016, 1004, 1017, 1007, 1025, 1005, 1027, 1012, 1021,
                                    1010, 1000, 1018, 1003, 1019, 1006, 1020, 1011, 1026, 1013, 1028, 1022, 1014, 1009,
                                    1029};
    std::vector<int> ids;
    for (QObject* child : dialog->children()) {
        if (child->isWidgetType()) {
            ids.push_back(child->objectName().toInt());
        }
    }
    EXPECT_EQ(ids, tabOrder);
    // Two pixels to the dialog unit: Update at 140, 114, 35 x 13 units, until the first layout.
    EXPECT_EQ(Item(control::kUpdate)->geometry(), QRect(280, 228, 70, 26));
    EXPECT_EQ(Item(control::kRestart)->geometry(), QRect(36, 226, 100, 28));
    dialog->show();
    EXPECT_FALSE(Item(control::kResetBrowse)->isVisible());
    EXPECT_FALSE(Item(control::kOsPath)->isEnabled());
    EXPECT_FALSE(Item(control::kResetPath)->isEnabled());
}

TEST_F(UpdateDialogTest, FillsTheScreenAboveOtherWindowsWithItsWindowText) {
    system.screen = {1024, 600};
    Open();
    EXPECT_EQ(dialog->geometry(), QRect(0, 0, 1024, 600));
    EXPECT_TRUE(dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(dialog->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("VelkorWnd"));
}

TEST_F(UpdateDialogTest, ShowsEmptyStatusesAndGivesTheFocusToTheOsCheckBox) {
    Open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    EXPECT_EQ(QApplication::focusWidget(), Item(control::kOsCheck));
    for (const int status : {control::kOsStatus, control::kLogoStatus, control::kLogo2Status, control::kBootStatus,
                             control::kAppStatus, control::kResetStatus}) {
        EXPECT_EQ(Item<QLabel>(status)->text(), QString()) << status;
    }
}

TEST_F(UpdateDialogTest, AppliesTheSettingsFileWhenThereIsNoAutoUpdateImage) {
    fileSystem.AddFile(kSettingsPath, SettingsFileBytes(kOsAndBoot));
    fileSystem.AddFile(std::u16string(kAutoUpdate) + u"readme.txt", "not an image");
    Open();
    EXPECT_TRUE(Item<QCheckBox>(control::kOsCheck)->isChecked());
    EXPECT_EQ(Item<QLineEdit>(control::kOsPath)->text(), QStringLiteral("\\StorageCard\\NK.bin"));
    EXPECT_EQ(Item<QLineEdit>(control::kLogo2Path)->text(), QStringLiteral("\\StorageCard\\logo2.bmp"));
    EXPECT_FALSE(Item<QCheckBox>(control::kLogo2Check)->isChecked());
    EXPECT_TRUE(Item<QCheckBox>(control::kBootCheck)->isChecked());
    // A checked Boot box checks Reset at start, whatever the file says of Reset.
    EXPECT_TRUE(Item<QCheckBox>(control::kResetCheck)->isChecked());
    EXPECT_FALSE(TimerActive(*dialog, mainwnd::TIMER_AUTO_UPDATE));
}

TEST_F(UpdateDialogTest, ReadsTheSettingsFileEvenWithoutAStorageCard) {
    registry = FakeRegistry();
    fileSystem.AddFile(kSettingsPath, SettingsFileBytes(kOsAndBoot));
    fileSystem.AddFile(std::u16string(kAutoUpdate) + u"NK.bin", "image");
    Open();
    EXPECT_EQ(Item<QLineEdit>(control::kOsPath)->text(), QStringLiteral("\\StorageCard\\NK.bin"));
    EXPECT_FALSE(TimerActive(*dialog, mainwnd::TIMER_AUTO_UPDATE));
}

TEST_F(UpdateDialogTest, AutoUpdateImagesWinOverTheSettingsFileAndArmTheTimer) {
    fileSystem.AddFile(kSettingsPath, SettingsFileBytes(kOsAndBoot));
    fileSystem.AddFile(std::u16string(kAutoUpdate) + u"Eboot.nb0", "boot loader");
    Open();
    EXPECT_TRUE(Item<QCheckBox>(control::kBootCheck)->isChecked());
    EXPECT_TRUE(Item<QCheckBox>(control::kResetCheck)->isChecked());
    EXPECT_EQ(Item<QLineEdit>(control::kBootPath)->text(), QStringLiteral("\\StorageCard\\AutoUpdate\\Eboot.nb0"));
    EXPECT_FALSE(Item<QCheckBox>(control::kOsCheck)->isChecked());
    EXPECT_EQ(Item<QLineEdit>(control::kOsPath)->text(), QString());
    ASSERT_TRUE(TimerActive(*dialog, mainwnd::TIMER_AUTO_UPDATE));
    EXPECT_EQ(Timer(*dialog, mainwnd::TIMER_AUTO_UPDATE)->interval(), 500);
}

TEST_F(UpdateDialogTest, ResetFollowsEveryClickOnBoot) {
    Open();
    auto* boot = Item<QCheckBox>(control::kBootCheck);
    auto* reset = Item<QCheckBox>(control::kResetCheck);
    QTest::mouseClick(boot, Qt::LeftButton);  // on
    EXPECT_TRUE(reset->isChecked());
    QTest::mouseClick(reset, Qt::LeftButton);
    QTest::mouseClick(boot, Qt::LeftButton);  // off
    EXPECT_FALSE(reset->isChecked());
    QTest::mouseClick(reset, Qt::LeftButton);
    QTest::mouseClick(boot, Qt::LeftButton);  // on
    EXPECT_TRUE(reset->isChecked());
    QTest::mouseClick(boot, Qt::LeftButton);  // off
    EXPECT_FALSE(reset->isChecked());
    EXPECT_FALSE(boot->isChecked());
}

TEST_F(UpdateDialogTest, ExitSavesTheChoicesAndEndsTheWindow) {
    fileSystem.AddFile(kSettingsPath, SettingsFileBytes(kOsAndBoot));
    Open();
    QTest::mouseClick(Item<QCheckBox>(control::kOsCheck), Qt::LeftButton);
    QTest::mouseClick(Item<QPushButton>(control::kExit), Qt::LeftButton);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(dialog->isVisible());
    std::vector<std::u16string> saved = kOsAndBoot;
    saved[0] = u"0";
    saved[10] = u"1";  // the Reset box that Boot checked at start
    EXPECT_EQ(fileSystem.Content(kSettingsPath), SettingsFileBytes(saved));
}

TEST_F(UpdateDialogTest, EscapeEndsTheWindowWithoutSaving) {
    fileSystem.AddFile(kSettingsPath, "previous");
    Open();
    QTest::mouseClick(Item<QCheckBox>(control::kOsCheck), Qt::LeftButton);
    QTest::keyClick(Item(control::kOsCheck), Qt::Key_Escape);
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(fileSystem.Content(kSettingsPath), "previous");
}

TEST_F(UpdateDialogTest, RestartSavesAndRequestsARestart) {
    Open();
    QTest::mouseClick(Item<QCheckBox>(control::kAppCheck), Qt::LeftButton);
    QTest::mouseClick(Item<QPushButton>(control::kRestart), Qt::LeftButton);
    EXPECT_EQ(system.restartRequests, 1);
    const std::string saved = fileSystem.Content(kSettingsPath).value_or("");
    EXPECT_EQ(saved, SettingsFileBytes({u"0", u"", u"0", u"", u"0", u"", u"0", u"", u"1", u"", u"0"}));
    // The device did not restart, so the window stays.
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(UpdateDialogTest, LeavingIsRefusedWhileAnUpdateRuns) {
    fileSystem.AddFile(kSettingsPath, "previous");
    Open();
    Item(control::kUpdate)->setEnabled(false);
    QTest::mouseClick(Item<QPushButton>(control::kExit), Qt::LeftButton);
    QTest::keyClick(Item(control::kOsCheck), Qt::Key_Escape);
    QTest::mouseClick(Item<QPushButton>(control::kRestart), Qt::LeftButton);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(system.restartRequests, 0);
    EXPECT_EQ(fileSystem.Content(kSettingsPath), "previous");
}

TEST_F(UpdateDialogTest, EveryHotKeyPressStartsTheThreeSecondDelayAgain) {
    Open();
    EXPECT_FALSE(TimerActive(*dialog, mainwnd::TIMER_HOTKEY));
    QTest::keyClick(Item(control::kOsCheck), Qt::Key_F24);
    ASSERT_TRUE(TimerActive(*dialog, mainwnd::TIMER_HOTKEY));
    QTimer* delay = Timer(*dialog, mainwnd::TIMER_HOTKEY);
    EXPECT_EQ(delay->interval(), 3000);
    // A delay far from over, which only a new start brings back to three seconds.
    delay->start(60000);
    QTest::keyClick(Item(control::kBootCheck), Qt::Key_F24);
    EXPECT_EQ(delay->interval(), 3000);
    // Started again: a coarse timer may show a little more than its interval, never near a minute.
    EXPECT_LT(delay->remainingTime(), 10000);
}

TEST_F(UpdateDialogTest, HotKeyPressesEndInOneCoreServiceCallWhenTheDelayRunsOut) {
    Open();
    for (int press = 0; press < 3; ++press) {
        QTest::keyClick(Item(control::kOsCheck), Qt::Key_F24);
    }
    QTimer* delay = Timer(*dialog, mainwnd::TIMER_HOTKEY);
    ASSERT_TRUE(delay && delay->isActive());
    EXPECT_EQ(system.coreServiceCalls, 0);
    // The delay runs out.
    QMetaObject::invokeMethod(delay, "timeout");
    EXPECT_EQ(system.coreServiceCalls, 1);
    EXPECT_FALSE(delay->isActive()) << "the call ends the delay";
    EXPECT_TRUE(system.sleeps.empty()) << "the hot key never starts an update";
}

TEST_F(UpdateDialogTest, OtherKeysAreNotTheHotKey) {
    Open();
    QTest::keyClick(Item(control::kOsCheck), Qt::Key_F23);
    QTest::keyClick(Item(control::kOsCheck), Qt::Key_F24, Qt::ShiftModifier);
    EXPECT_FALSE(TimerActive(*dialog, mainwnd::TIMER_HOTKEY));
}

// A device with a keyring it cannot read refuses the card when Update is pressed: one message in
// the device's language, and the run does not begin.
TEST_F(UpdateDialogTest, ARefusedCardShowsOneMessageInTheDevicesLanguageAndStartsNothing) {
    const std::vector<std::pair<bool, QString>> languages{
        {false, QStringLiteral("The device's keyring cannot be read.\nThe card was not used; nothing on the device "
                               "has changed.")},
        {true, QStringLiteral("无法读取设备的密钥环。\n未使用此卡，设备没有任何改变。")}};
    for (const auto& [chinese, expected] : languages) {
        strings = ui::UiStrings();
        if (chinese) {
            strings.UseChineseSet();
        }
        trust = FakeDeviceTrust();
        trust.settings.hasKeyring = true;
        fileSystem.AddFile(kSettingsPath, SettingsFileBytes(kOsAndBoot));
        Open();
        QStringList messages;
        QTimer::singleShot(0, [&messages] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            messages << (box ? box->text() : QStringLiteral("no message"));
            QApplication::activeModalWidget()->close();
        });

        Item<QPushButton>(control::kUpdate)->click();

        EXPECT_EQ(messages, QStringList{expected});
        EXPECT_EQ(system.debugLines.back(),
                  u"Message: " + expected.toStdU16String() + u'\n');
        EXPECT_EQ(trust.events, std::vector<std::string>{"card-refused keyring-unreadable"});
        EXPECT_TRUE(system.sleeps.empty()) << "the run began";
        EXPECT_TRUE(Item(control::kUpdate)->isEnabled());
    }
}

}  // namespace
}  // namespace velkor::test
