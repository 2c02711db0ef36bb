#include "app/CUpdaterApp.h"
#include "support/FakeDeviceTrust.h"
#include "support/FakeDevices.h"
#include "support/FakeFileSystem.h"
#include "support/FakeRegistry.h"
#include "support/FakeSystem.h"
#include "support/FakeWindows.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <gtest/gtest.h>

namespace velkor::app {
namespace {

// Closes the main window as soon as it runs, as the Escape key would.
void CloseMainWindowOnceRunning() {
    QTimer::singleShot(0, [] {
        if (auto* window = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            window->reject();
        }
    });
}

TEST(UpdaterApp, RunsTheMainWindowAtRaisedPriorityAndReturnsFalse) {
    test::FakeRegistry registry;
    test::FakeFileSystem fileSystem;
    test::FakeSystem system;
    system.languageId = 0x0804;
    test::FakeDeviceIo deviceIo;
    test::FakeBitmapLoader bitmapLoader;
    test::FakeStorageManager storageManager;
    test::FakeFormatLibrary formatLibrary;
    test::FakeWindows windows;
    test::FakeDeviceTrust trust;
    platform::Platform platform{registry, fileSystem, system, deviceIo, bitmapLoader, storageManager, formatLibrary,
                                windows, trust};
    ui::UiStrings strings;

    CloseMainWindowOnceRunning();
    EXPECT_FALSE(CUpdaterApp(platform, strings).InitInstance());

    EXPECT_EQ(system.priorities, std::vector<int>{250});
    EXPECT_EQ(strings[ui::UiStringId::ColumnName], u"名称");
}

}  // namespace
}  // namespace velkor::app
