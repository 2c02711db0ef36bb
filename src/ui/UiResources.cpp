#include "ui/UiResources.h"

#include <QFile>

namespace velkor::ui {

QIcon ResourceIcon(int id) {
    const QString path = QStringLiteral(":/icons/%1.png").arg(id);
    // QIcon takes any name and stays empty only when it cannot read it, so ask first.
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

QPixmap ResourceBitmap(int id) { return QPixmap(QStringLiteral(":/bitmaps/%1.bmp").arg(id)); }

}  // namespace velkor::ui
