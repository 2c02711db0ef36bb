#pragma once

#include <QString>

#include <string_view>

namespace velkor::ui {

// The device's UTF-16 text as a Qt string.
inline QString ToQString(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace velkor::ui
