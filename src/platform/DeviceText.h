#pragma once

#include <fmt/printf.h>

#include <string>
#include <string_view>
#include <utility>

namespace velkor::platform {

// Text helpers for the UTF-16 strings that cross the platform layer.

std::string ToUtf8(std::u16string_view text);
// Malformed UTF-8 sequences become U+FFFD.
std::u16string FromUtf8(std::string_view text);

// Letter case is ignored the way the device's file system and registry ignore it.
std::u16string ToLowerCase(std::u16string_view text);
bool EqualsIgnoreCase(std::u16string_view left, std::u16string_view right);
// Each character in its case-folded form: two texts are equal without regard to case exactly when
// their folded forms are equal, so the folded form can key a lookup.
std::u16string FoldCase(std::u16string_view text);

namespace detail {
inline std::string FormatArgument(std::u16string_view text) { return ToUtf8(text); }
inline std::string FormatArgument(const std::u16string& text) { return ToUtf8(text); }
inline std::string FormatArgument(const char16_t* text) { return ToUtf8(text); }
template <typename T>
T FormatArgument(T value) {
    return value;
}
}  // namespace detail

// printf-style formatting of the program's own patterns ("%s%d", "%s [%d s]"); string
// arguments may be UTF-16.
template <typename... Args>
std::u16string Format(std::u16string_view pattern, Args&&... args) {
    return FromUtf8(fmt::sprintf(ToUtf8(pattern), detail::FormatArgument(std::forward<Args>(args))...));
}

}  // namespace velkor::platform
