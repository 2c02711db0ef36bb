#include "ui/FullScreen.h"

namespace velkor::ui {

void MakeFullScreen(QWidget& window, const platform::System& system) {
    const platform::ScreenSize screen = system.GetScreenSize();
    window.setGeometry(0, 0, screen.width, screen.height);
    window.repaint();
}

}  // namespace velkor::ui
