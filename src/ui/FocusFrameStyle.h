#pragma once

#include <QColor>
#include <QProxyStyle>

namespace velkor::ui {

inline const QColor kFocusFrameColour{255, 128, 0};
inline constexpr int kFocusFrameWidth = 2;

// The program's look: the platform's own style, except that the focused control always shows a
// solid frame. Enter presses whatever has the focus, so the operator at the device's keys must
// see it from the first paint, not only after Tab has been pressed as Qt would have it.
class FocusFrameStyle : public QProxyStyle {
public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
    // Push buttons show their focus by a tint of their own; they get the frame too.
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;

private:
    static void DrawFocusFrame(const QRect& rect, QPainter& painter);
};

}  // namespace velkor::ui
