#include "ui/HotKey.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace velkor::ui {
namespace {

constexpr unsigned kVirtualKeyF1 = 0x70;
constexpr unsigned kVirtualKeyF24 = 0x87;

unsigned ModifierBits(Qt::KeyboardModifiers modifiers) {
    return (modifiers & Qt::AltModifier ? kModAlt : 0) | (modifiers & Qt::ControlModifier ? kModControl : 0) |
           (modifiers & Qt::ShiftModifier ? kModShift : 0);
}

}  // namespace

HotKey::HotKey(QObject* owner) : QObject(owner) {}

HotKey::~HotKey() {
    if (registered_) {
        QCoreApplication::instance()->removeEventFilter(this);
    }
}

bool HotKey::Register(int id, unsigned modifiers, unsigned virtualKey) {
    if (registered_ || virtualKey < kVirtualKeyF1 || virtualKey > kVirtualKeyF24) {
        return false;
    }
    id_ = id;
    modifiers_ = modifiers;
    virtualKey_ = virtualKey;
    registered_ = true;
    QCoreApplication::instance()->installEventFilter(this);
    return true;
}

bool HotKey::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return QObject::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    const int expectedKey = Qt::Key_F1 + int(virtualKey_ - kVirtualKeyF1);
    if (key->key() != expectedKey || ModifierBits(key->modifiers()) != modifiers_) {
        return QObject::eventFilter(watched, event);
    }
    // Taken at its first receiver, so it never reaches a control.
    emit hotKey(std::uintptr_t(id_), std::intptr_t(virtualKey_ << 16 | modifiers_));
    return true;
}

}  // namespace velkor::ui
