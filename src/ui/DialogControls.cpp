#include "ui/DialogControls.h"

#include "ui/QtText.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

#include <limits>

namespace velkor::ui {
namespace {

QWidget* CreateControl(const ControlTemplate& control, QWidget& parent) {
    const QString text = ToQString(control.text);
    switch (control.kind) {
        case ControlKind::PushButton: {
            auto* button = new QPushButton(text, &parent);
            // The dialog handles Enter itself: no push button takes it as the default button.
            button->setAutoDefault(false);
            return button;
        }
        case ControlKind::CheckBox:
            return new QCheckBox(text, &parent);
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(text, &parent);
            // The settings file sets no limit on a path, so neither does its field.
            edit->setMaxLength(std::numeric_limits<int>::max());
            // A disabled field is still there to be read: its text keeps the normal colour.
            QPalette palette = edit->palette();
            palette.setColor(QPalette::Disabled, QPalette::Text, palette.color(QPalette::Active, QPalette::Text));
            edit->setPalette(palette);
            return edit;
        }
        case ControlKind::Label: {
            auto* label = new QLabel(text, &parent);
            label->setAlignment(Qt::AlignCenter);
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            label->setLineWidth(BorderWidth(control.kind));
            return label;
        }
        case ControlKind::GroupBox: {
            auto* group = new QGroupBox(text, &parent);
            // A frame only: clicks inside it belong to the controls it surrounds.
            group->setAttribute(Qt::WA_TransparentForMouseEvents);
            return group;
        }
    }
    return nullptr;
}

}  // namespace

void DialogControls::Create(QWidget& dialog, const DialogTemplate& dialogTemplate) {
    dialog.resize(DialogUnitsToPixels(dialogTemplate.size));
    for (const ControlTemplate& control : dialogTemplate.controls) {
        QWidget* widget = CreateControl(control, dialog);
        widget->setObjectName(QString::number(control.id));
        widget->setGeometry(DialogUnitsToPixels(control.rect));
        widget->setEnabled(control.enabled);
        widget->setVisible(control.visible);
        controls_[control.id] = widget;
    }
}

QWidget* DialogControls::Item(int id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

}  // namespace velkor::ui
