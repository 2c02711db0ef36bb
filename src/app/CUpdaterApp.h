#pragma once

#include "platform/Platform.h"
#include "ui/CProgressDialog.h"
#include "ui/UiStrings.h"

namespace velkor::app {

// The program's application object: picks the interface language, raises the interface
// thread's priority, gives the program its look (focus frames always shown) and runs the main window until it ends.
class CUpdaterApp {
public:
    CUpdaterApp(platform::Platform& platform, ui::UiStrings& strings);

    // Runs the whole program; false, as there is nothing left to run after the main window.
    bool InitInstance();

private:
    platform::Platform& platform_;
    ui::UiStrings& strings_;
    // Kept for the program's lifetime, as the device program keeps it; nothing shows it.
    ui::CProgressDialog progressDialog_;
};

}  // namespace velkor::app
