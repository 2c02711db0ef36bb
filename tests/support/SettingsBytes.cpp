#include "support/SettingsBytes.h"

namespace velkor::test {

std::string Utf16Le(std::u16string_view text) {
    std::string bytes;
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::string SettingsFileBytes(const std::vector<std::u16string>& entries) {
    std::u16string text;
    for (const auto& entry : entries) {
        text += u"$|$" + entry + u"$|$\r\n";
    }
    return Utf16Le(text);
}

}  // namespace velkor::test
