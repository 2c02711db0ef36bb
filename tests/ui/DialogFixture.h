#pragma once

#include "mainwnd/CUpdateDialog.h"
#include "support/FakeDeviceTrust.h"
#include "support/FakeDevices.h"
#include "support/FakeFileSystem.h"
#include "support/FakeRegistry.h"
#include "support/FakeSystem.h"
#include "support/FakeWindows.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>

namespace velkor::test {

// A main window on an in-memory device with one storage-card profile.
class DialogFixture : public testing::Test {
protected:
    DialogFixture() {
        registry.AddKey(u"System\\StorageManager\\Profiles\\SDMemory", {{u"Folder", u"StorageCard"}});
        fileSystem.AddDirectory(u"\\StorageCard");
    }

    mainwnd::CUpdateDialog& Open() {
        dialog = std::make_unique<mainwnd::CUpdateDialog>(platform, strings);
        dialog->Create();
        dialog->show();
        return *dialog;
    }

    template <typename Control = QWidget>
    Control* Item(int id) const {
        return dialog->findChild<Control*>(QString::number(id));
    }

    ui::UiStrings strings;
    // The device's one last error, which every fake sets.
    shared::ErrorState errors;
    FakeRegistry registry{errors};
    FakeFileSystem fileSystem{errors};
    FakeSystem system{errors};
    FakeDeviceIo deviceIo{errors};
    FakeBitmapLoader bitmapLoader;
    FakeStorageManager storageManager{errors};
    FakeFormatLibrary formatLibrary{errors};
    FakeWindows windows{errors};
    FakeDeviceTrust trust;
    platform::Platform platform{registry, fileSystem, system, deviceIo, bitmapLoader, storageManager, formatLibrary,
                                windows, trust};
    std::unique_ptr<mainwnd::CUpdateDialog> dialog;
};

}  // namespace velkor::test
