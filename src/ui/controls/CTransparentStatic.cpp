#include "ui/controls/CTransparentStatic.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace velkor::ui {
namespace {

const QColor kBackground(239, 235, 222);
const QColor kTextColour(0, 0, 240);
constexpr int kCharacterHeight = 18;
constexpr int kAverageCharacterWidth = 5;

// The text's font: 18 pixels high and about 5 pixels a character on average. Qt sizes a font
// by its height only, so the width comes from a horizontal stretch: the wanted average width
// over the one the font has at that height, in percent.
QFont TextFont(QFont font) {
    font.setPixelSize(kCharacterHeight);
    const int naturalWidth = std::max(1, QFontMetrics(font).averageCharWidth());
    const int stretch = int(std::lround(100.0 * kAverageCharacterWidth / naturalWidth));
    // The range QFont accepts.
    font.setStretch(std::clamp(stretch, 1, 4000));
    return font;
}

}  // namespace

CTransparentStatic::CTransparentStatic(QWidget* parent) : QLabel(parent), textFont_(TextFont(font())) {
    // No frame and no margin, so the area a new text updates is the whole label.
    setFrameStyle(QFrame::NoFrame);
    setMargin(0);
    // It paints every pixel, so nothing need be cleared under it first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CTransparentStatic::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    painter.setFont(textFont_);
    painter.setPen(kTextColour);
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
}

}  // namespace velkor::ui
