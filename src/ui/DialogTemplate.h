#pragma once

#include <QRect>
#include <QSize>

#include <span>
#include <string_view>

namespace velkor::ui {

enum class ControlKind { PushButton, CheckBox, Edit, Label, GroupBox };

// The border around a control's client area, in pixels on each side: edit fields and labels
// have a 1-pixel frame, the other kinds none.
constexpr int BorderWidth(ControlKind kind) {
    return kind == ControlKind::Edit || kind == ControlKind::Label ? 1 : 0;
}

// One control of a dialog template. The rectangle is in dialog units: x, y, width, height.
struct ControlTemplate {
    int id;
    ControlKind kind;
    std::u16string_view text;
    QRect rect;
    bool visible = true;
    bool enabled = true;
};

// A dialog's size in dialog units and its controls in template (tab) order.
struct DialogTemplate {
    QSize size;
    std::span<const ControlTemplate> controls;
};

// Dialog units to pixels, with the fixed base units of the dialog font: a horizontal unit is
// a quarter of the base width, a vertical unit an eighth of the base height.
inline constexpr int kBaseUnitWidth = 8;
inline constexpr int kBaseUnitHeight = 16;

constexpr QRect DialogUnitsToPixels(const QRect& units) {
    return {units.x() * kBaseUnitWidth / 4, units.y() * kBaseUnitHeight / 8,
            units.width() * kBaseUnitWidth / 4, units.height() * kBaseUnitHeight / 8};
}

constexpr QSize DialogUnitsToPixels(const QSize& units) {
    return {units.width() * kBaseUnitWidth / 4, units.height() * kBaseUnitHeight / 8};
}

}  // namespace velkor::ui
