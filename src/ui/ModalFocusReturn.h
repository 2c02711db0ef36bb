#pragma once

#include <QPointer>
#include <QWidget>

namespace velkor::ui {

// Held while a modal dialog of `window` runs: when it ends, `window` is the active window again
// and the control that had the focus before has it back. Without a window manager nothing else
// would activate the window once the dialog is gone, and its keys would reach no focused control.
class ModalFocusReturn {
public:
    explicit ModalFocusReturn(QWidget& window);
    ~ModalFocusReturn();

    ModalFocusReturn(const ModalFocusReturn&) = delete;
    ModalFocusReturn& operator=(const ModalFocusReturn&) = delete;

private:
    QPointer<QWidget> window_;
    QPointer<QWidget> focused_;
};

}  // namespace velkor::ui
