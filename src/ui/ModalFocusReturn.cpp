#include "ui/ModalFocusReturn.h"

namespace velkor::ui {

ModalFocusReturn::ModalFocusReturn(QWidget& window) : window_(&window), focused_(window.focusWidget()) {}

ModalFocusReturn::~ModalFocusReturn() {
    if (!window_ || !window_->isVisible()) {
        return;
    }
    window_->activateWindow();
    if (focused_) {
        focused_->setFocus();
    }
}

}  // namespace velkor::ui
