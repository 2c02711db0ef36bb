#include "ui/PostedClick.h"

#include <QAbstractButton>
#include <QTimer>

namespace velkor::ui {

void PostClick(QObject* target) {
    if (auto* button = qobject_cast<QAbstractButton*>(target)) {
        QTimer::singleShot(0, button, &QAbstractButton::click);
    }
}

}  // namespace velkor::ui
