#pragma once

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::shared {

// A number written as hex ("0x0804") or decimal ("2052"); nothing unless it fits `Unsigned`.
template <typename Unsigned>
std::optional<Unsigned> ParseHexOrDecimal(std::string_view text) {
    constexpr std::array<std::string_view, 2> kHexPrefixes{"0x", "0X"};
    const bool hex = std::any_of(kHexPrefixes.begin(), kHexPrefixes.end(),
                                 [&](std::string_view prefix) { return text.starts_with(prefix); });
    if (hex) {
        text.remove_prefix(kHexPrefixes[0].size());
    }
    const int base = hex ? 16 : 10;
    Unsigned number = 0;
    const char* end = text.data() + text.size();
    const auto [stop, failure] = std::from_chars(text.data(), end, number, base);
    if (text.empty() || failure != std::errc() || stop != end) {
        return std::nullopt;
    }
    return number;
}

// A language id written as hex ("0x0804") or decimal ("2052"); nothing unless it fits 16 bits.
inline std::optional<std::uint16_t> ParseLanguageId(std::string_view text) {
    return ParseHexOrDecimal<std::uint16_t>(text);
}

// "0x0804".
inline std::string LanguageIdText(std::uint16_t languageId) { return fmt::format("0x{:04X}", languageId); }

}  // namespace velkor::shared
