#pragma once

#include <QObject>

namespace velkor::ui {

// Clicks `target`, when it is a button or a check box, once the event being handled is done
// with, as a click message posted to it would: the device's Enter key.
void PostClick(QObject* target);

}  // namespace velkor::ui
