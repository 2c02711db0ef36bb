#include "ui/CProgressDialog.h"

#include "ui/DialogTemplate.h"

#include <QLabel>
#include <QProgressBar>

namespace velkor::ui {
namespace {

// In dialog units.
constexpr QSize kDialogSize(187, 14);
constexpr QRect kBarRect(0, 0, 167, 14);
constexpr QRect kLabelRect(168, 3, 18, 8);

}  // namespace

CProgressDialog::CProgressDialog(QWidget* parent)
    : QDialog(parent), m_progressBar(new QProgressBar(this)), m_progressLabel(new QLabel(this)) {
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    resize(DialogUnitsToPixels(kDialogSize));
    // A plain filling bar: no percentage written over it.
    m_progressBar->setTextVisible(false);
    m_progressBar->setGeometry(DialogUnitsToPixels(kBarRect));
    m_progressLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_progressLabel->setGeometry(DialogUnitsToPixels(kLabelRect));
}

}  // namespace velkor::ui
