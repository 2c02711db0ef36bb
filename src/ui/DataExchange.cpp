#include "ui/DataExchange.h"

#include <QCheckBox>
#include <QVariant>

namespace velkor::ui {

void DataExchange::Control(int id, QPushButton*& member) const {
    member = controls_.ItemAs<QPushButton>(id);
}

void DataExchange::Text(int id, std::u16string& member) const {
    // Edit fields and labels both carry their text in the "text" property.
    QWidget* control = controls_.Item(id);
    if (saveAndValidate_) {
        member = control->property("text").toString().toStdU16String();
    } else if (const QString text = QString::fromStdU16String(member); control->property("text").toString() != text) {
        control->setProperty("text", text);
        // A new text shows at once, also while an update keeps the window from painting between steps.
        control->repaint();
    }
}

void DataExchange::Check(int id, std::int32_t& member) const {
    auto* checkBox = controls_.ItemAs<QCheckBox>(id);
    if (saveAndValidate_) {
        member = checkBox->isChecked() ? 1 : 0;
    } else {
        checkBox->setChecked(member != 0);
    }
}

}  // namespace velkor::ui
