#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

namespace velkor::ui {

// A small captionless window with a progress bar and a label beside it. The program keeps one
// and never shows it or moves its bar.
class CProgressDialog : public QDialog {
    Q_OBJECT

public:
    explicit CProgressDialog(QWidget* parent = nullptr);

    QProgressBar* m_progressBar;
    QLabel* m_progressLabel;
};

}  // namespace velkor::ui
