#include "app/CUpdaterApp.h"

#include "app/LanguageSelection.h"
#include "mainwnd/CUpdateDialog.h"
#include "ui/FocusFrameStyle.h"

#include <QApplication>

namespace velkor::app {
namespace {

// One step above the device's normal thread priority of 251.
constexpr int kInterfaceThreadPriority = 250;

}  // namespace

CUpdaterApp::CUpdaterApp(platform::Platform& platform, ui::UiStrings& strings)
    : platform_(platform), strings_(strings) {}

bool CUpdaterApp::InitInstance() {
    SelectUiLanguage(strings_, platform_.system);
    platform_.system.SetThreadPriority(kInterfaceThreadPriority);
    // The application takes ownership of its style.
    QApplication::setStyle(new ui::FocusFrameStyle);
    mainwnd::CUpdateDialog mainWindow(platform_, strings_);
    mainWindow.DoModal();
    return false;
}

}  // namespace velkor::app
