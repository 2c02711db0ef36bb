#pragma once

#include <QFont>
#include <QLabel>

namespace velkor::ui {

// A label that paints all of itself: a beige background and its text in blue on one line,
// left-aligned and vertically centred, cut off at the right edge.
class CTransparentStatic : public QLabel {
    Q_OBJECT

public:
    explicit CTransparentStatic(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QFont textFont_;
};

}  // namespace velkor::ui
