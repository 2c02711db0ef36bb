#include "ui/DialogFocus.h"

#include <QApplication>

namespace velkor::ui {

void ConnectSetFocus(QDialog& dialog, std::function<void(QWidget*)> onSetFocus) {
    QObject::connect(qApp, &QApplication::focusChanged, &dialog,
                     [&dialog, onSetFocus = std::move(onSetFocus)](QWidget* lostFocus, QWidget* gainedFocus) {
                         if (gainedFocus == &dialog) {
                             onSetFocus(lostFocus);
                         }
                     });
}

}  // namespace velkor::ui
