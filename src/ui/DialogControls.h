#pragma once

#include "ui/DialogTemplate.h"

#include <QWidget>

#include <map>

namespace velkor::ui {

// The controls of a dialog, created from its template and found by identifier.
class DialogControls {
public:
    // Creates the template's controls as children of `dialog`, in template order, which is
    // also their tab order, at their template rectangles.
    void Create(QWidget& dialog, const DialogTemplate& dialogTemplate);

    // The control with this identifier; null when the template has none.
    QWidget* Item(int id) const;
    template <typename Control>
    Control* ItemAs(int id) const {
        return qobject_cast<Control*>(Item(id));
    }

private:
    std::map<int, QWidget*> controls_;
};

}  // namespace velkor::ui
