#include "ui/FocusFrameStyle.h"

#include <QPainter>
#include <QPen>
#include <QStyleOption>

namespace velkor::ui {

void FocusFrameStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                    const QWidget* widget) const {
    if (element == PE_FrameFocusRect) {
        DrawFocusFrame(option->rect, *painter);
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void FocusFrameStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                  const QWidget* widget) const {
    QProxyStyle::drawControl(element, option, painter, widget);
    if (element == CE_PushButton && option->state.testFlag(State_HasFocus)) {
        DrawFocusFrame(subElementRect(SE_PushButtonFocusRect, option, widget), *painter);
    }
}

void FocusFrameStyle::DrawFocusFrame(const QRect& rect, QPainter& painter) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kFocusFrameColour);
    // Four solid bars inside the rectangle, so nothing of the frame falls outside the control.
    const int width = kFocusFrameWidth;
    painter.drawRect(rect.left(), rect.top(), rect.width(), width);
    painter.drawRect(rect.left(), rect.bottom() - width + 1, rect.width(), width);
    painter.drawRect(rect.left(), rect.top(), width, rect.height());
    painter.drawRect(rect.right() - width + 1, rect.top(), width, rect.height());
    painter.restore();
}

}  // namespace velkor::ui
