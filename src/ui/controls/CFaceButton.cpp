#include "ui/controls/CFaceButton.h"

#include "ui/UiResources.h"

#include <QPainter>

namespace velkor::ui {
namespace {

// On a wide, low screen (wider than 400 and lower than 250 pixels) the picker's buttons are
// a little wider than their faces, which are stretched to fit.
constexpr int kWideScreenMinWidth = 400;
constexpr int kLowScreenMaxHeight = 250;
constexpr int kWideScreenExtraWidth = 4;

bool IsWideLowScreen(platform::ScreenSize screen) {
    return screen.width > kWideScreenMinWidth && screen.height < kLowScreenMaxHeight;
}

}  // namespace

CFaceButton::CFaceButton(QWidget* parent) : QPushButton(parent) {
    // The picker takes Enter itself; the button must not take it as the default button.
    setAutoDefault(false);
}

void CFaceButton::LoadFaces(int normalId, int pressedId, int focusId, platform::ScreenSize screen) {
    m_normalFace = ResourceBitmap(normalId);
    m_pressedFace = ResourceBitmap(pressedId);
    m_focusFace = ResourceBitmap(focusId);
    QSize size = m_normalFace.size();
    if (IsWideLowScreen(screen)) {
        size.rwidth() += kWideScreenExtraWidth;
    }
    resize(size);
}

void CFaceButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!hasFocus()) {
        // Held down without the focus still shows the normal face.
        DrawFace(painter, m_normalFace);
        return;
    }
    DrawFace(painter, m_focusFace);
    if (isDown()) {
        DrawFace(painter, m_pressedFace);
    }
}

void CFaceButton::DrawFace(QPainter& painter, const QPixmap& face) const {
    if (!face.isNull()) {
        painter.drawPixmap(rect(), face);
    }
}

}  // namespace velkor::ui
