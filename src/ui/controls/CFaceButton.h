#pragma once

#include "platform/System.h"

#include <QPixmap>
#include <QPushButton>

namespace velkor::ui {

// A push button drawn entirely from three bitmaps: its normal face, and with the focus its
// focus face, covered by its pressed face while it is held down.
class CFaceButton : public QPushButton {
    Q_OBJECT

public:
    explicit CFaceButton(QWidget* parent = nullptr);

    // Loads the three faces by resource identifier and sizes the button to the normal face,
    // a little wider on a wide, low screen. The button keeps its position.
    void LoadFaces(int normalId, int pressedId, int focusId, platform::ScreenSize screen);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Stretches the whole face over the whole button; a null face draws nothing.
    void DrawFace(QPainter& painter, const QPixmap& face) const;

    QPixmap m_normalFace;
    QPixmap m_focusFace;
    QPixmap m_pressedFace;
};

}  // namespace velkor::ui
