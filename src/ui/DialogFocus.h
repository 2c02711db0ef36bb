#pragma once

#include <QDialog>

#include <functional>

namespace velkor::ui {

// Calls `onSetFocus` with the widget that lost the focus, or null, whenever the dialog window
// itself receives the focus.
void ConnectSetFocus(QDialog& dialog, std::function<void(QWidget*)> onSetFocus);

}  // namespace velkor::ui
