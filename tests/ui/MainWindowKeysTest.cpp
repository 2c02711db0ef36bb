#include "ui/DialogFixture.h"

#include "mainwnd/MainWindowTemplate.h"
#include "ui/FocusFrameStyle.h"

#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QResizeEvent>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <map>
#include <vector>

namespace velkor::test {
namespace {

using namespace mainwnd::control;

class MainWindowKeysTest : public DialogFixture {
protected:
    std::map<int, QRect> Geometries() const {
        std::map<int, QRect> geometries;
        for (const ui::ControlTemplate& control : mainwnd::MainWindowTemplate().controls) {
            geometries[control.id] = Item(control.id)->geometry();
        }
        return geometries;
    }

    int FocusedControl() const {
        const QWidget* focused = QApplication::focusWidget();
        return focused ? focused->objectName().toInt() : 0;
    }

    // Enter, as the device's key: the click it posts has happened once events are processed.
    void PressEnter(int id) {
        QTest::keyClick(Item(id), Qt::Key_Return);
        QCoreApplication::processEvents();
    }
};

TEST_F(MainWindowKeysTest, LaysOutTheSamePlacesAtEverySizeChange) {
    // A size that comes before the controls exist is left alone.
    mainwnd::CUpdateDialog early(platform, strings);
    QResizeEvent beforeControls(QSize(800, 480), QSize());
    QApplication::sendEvent(&early, &beforeControls);
    EXPECT_TRUE(early.findChildren<QWidget*>().isEmpty());

    Open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    const std::map<int, QRect> first = Geometries();
    EXPECT_EQ(first.at(kOsCheck), QRect(13, 231, 68, 24));
    EXPECT_EQ(first.at(kOsStatus), QRect(650, 231, 136, 24));
    EXPECT_FALSE(Item<QGroupBox>(kGroupBox)->isVisible());

    QResizeEvent sameSize(dialog->size(), dialog->size());
    QApplication::sendEvent(dialog.get(), &sameSize);
    EXPECT_EQ(Geometries(), first);
    dialog->resize(480, 272);
    EXPECT_EQ(Item(kExit)->geometry(), QRect(395, 241, 70, 26));
    dialog->resize(800, 480);
    EXPECT_EQ(Geometries(), first);
}

// The map read as its cycles: Down walks the check boxes, the browse buttons, then the command
// buttons, and Up walks that back; Left walks the row order back, and Right walks it forward but
// for Restart (on to Update) and Exit (on to the OS check box). Both wrap around.
TEST_F(MainWindowKeysTest, ArrowsWalkTheFocusMap) {
    const std::vector<int> downCycle{kLogoCheck,   kLogo2Check, kBootCheck,  kOsCheck,  kAppCheck,
                                     kResetCheck,  kLogoBrowse, kLogo2Browse, kBootBrowse, kOsBrowse,
                                     kAppBrowse,   kRestart,    kFormat,     kUpdate,   kExit};
    const std::vector<int> rowOrder{kLogoCheck, kLogoBrowse, kLogo2Check, kLogo2Browse, kBootCheck,
                                    kBootBrowse, kOsCheck,   kOsBrowse,   kAppCheck,    kAppBrowse,
                                    kResetCheck, kRestart,   kFormat,     kUpdate,      kExit};
    const auto step = [](const std::vector<int>& cycle, int from, int by) {
        const auto size = static_cast<int>(cycle.size());
        const auto at = static_cast<int>(std::find(cycle.begin(), cycle.end(), from) - cycle.begin());
        return cycle[static_cast<std::size_t>((at + by + size) % size)];
    };
    Open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    for (const int from : rowOrder) {
        const int right = from == kRestart ? kUpdate : from == kExit ? kOsCheck : step(rowOrder, from, 1);
        for (const auto& [key, to] : {std::pair{Qt::Key_Left, step(rowOrder, from, -1)}, std::pair{Qt::Key_Right, right},
                                      std::pair{Qt::Key_Up, step(downCycle, from, -1)},
                                      std::pair{Qt::Key_Down, step(downCycle, from, 1)}}) {
            Item(from)->setFocus();
            QTest::keyClick(Item(from), key);
            EXPECT_EQ(FocusedControl(), to) << "from " << from << " key " << key;
        }
    }
}

// Enter presses whatever has the focus, so the operator must always see where it is: the focus
// frame shows around the focused control and nowhere else, from the first paint on.
TEST_F(MainWindowKeysTest, TheFocusedControlShowsItsFrameFromTheFirstPaint) {
    const auto framePixels = [this] {
        const QImage image = dialog->grab().toImage();
        QRect bounds;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixelColor(x, y) == ui::kFocusFrameColour) {
                    bounds |= QRect(x, y, 1, 1);
                }
            }
        }
        return bounds;
    };
    Open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    // After start-up on the OS check box, after Down on the App check box, after Right on its button.
    for (const auto& [key, focused] :
         {std::pair{0, kOsCheck}, {Qt::Key_Down, kAppCheck}, {Qt::Key_Right, kAppBrowse}}) {
        if (key != 0) {
            QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key));
        }
        const QRect frame = framePixels();
        EXPECT_FALSE(frame.isEmpty()) << focused;
        EXPECT_TRUE(Item(focused)->geometry().contains(frame)) << focused;
    }
}

TEST_F(MainWindowKeysTest, UpOffTheMapGoesToExit) {
    Open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    QApplication::focusWidget()->clearFocus();
    QTest::keyClick(dialog.get(), Qt::Key_Up);
    EXPECT_EQ(FocusedControl(), kExit);
}

TEST_F(MainWindowKeysTest, EnterClicksTheFocusedControlOnly) {
    Open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    // A check box toggles with its usual notification: Boot ticks Reset too. No browse button
    // acts as the default button, so no picker opens.
    PressEnter(kBootCheck);
    EXPECT_TRUE(Item<QCheckBox>(kBootCheck)->isChecked());
    EXPECT_TRUE(Item<QCheckBox>(kResetCheck)->isChecked());
    QTimer::singleShot(0, [] {
        if (QWidget* picker = QApplication::activeModalWidget()) {
            ADD_FAILURE() << "Enter on a check box opened a picker";
            picker->close();
        }
    });
    PressEnter(kOsCheck);
    EXPECT_TRUE(Item<QCheckBox>(kOsCheck)->isChecked());
    // A button is pressed: Exit saves and ends the window.
    PressEnter(kExit);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(fileSystem.Content(u"\\StorageCard\\updater.cfg").has_value());
}

}  // namespace
}  // namespace velkor::test
