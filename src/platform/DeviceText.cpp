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

std::u16string FoldCase(std::u16string_view text) {
    // Folded a character at a time, pairs of surrogates as one, as the comparison folds them.
    std::u16string folded;
    folded.reserve(text.size());
    for (std::size_t index = 0; index < text.size(); ++index) {
        const char16_t unit = text[index];
        const bool pair = QChar::isHighSurrogate(unit) && index + 1 < text.size() &&
                          QChar::isLowSurrogate(text[index + 1]);
        if (!pair) {
            folded += static_cast<char16_t>(QChar::toCaseFolded(char32_t{unit}));
            continue;
        }
        const char32_t codePoint = QChar::toCaseFolded(QChar::surrogateToUcs4(unit, text[++index]));
        folded += static_cast<char16_t>(QChar::highSurrogate(codePoint));
        folded += static_cast<char16_t>(QChar::lowSurrogate(codePoint));
    }
    return folded;
}

}  // namespace velkor::platform
