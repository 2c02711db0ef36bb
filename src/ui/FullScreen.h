#pragma once

#include "platform/System.h"

#include <QWidget>

namespace velkor::ui {

// Moves the window to the top-left corner with the screen's full size.
void MakeFullScreen(QWidget& window, const platform::System& system);

}  // namespace velkor::ui
