#include "platform/DeviceText.h"

#include <QString>
#include <QStringView>

namespace velkor::platform {
namespace {

QStringView View(std::u16string_view text) { return QStringView(text.data(), qsizetype(text.size())); }

}  // namespace

std::string ToUtf8(std::u16string_view text) { return View(text).toUtf8().toStdString(); }

std::u16string FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size())).toStdU16String();
}

std::u16string ToLowerCase(std::u16string_view text) { return View(text).toString().toLower().toStdU16String(); }

bool EqualsIgnoreCase(std::u16string_view left, std::u16string_view right) {
    return View(left).compare(View(right), Qt::CaseInsensitive) == 0;
}

}  // namespace velkor::platform
