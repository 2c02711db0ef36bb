#include "backend/shared/RegFileParser.h"

#include "backend/shared/DeviceError.h"
#include "platform/DeviceText.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <charconv>

namespace velkor::shared {
namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
constexpr std::array<std::string_view, 2> kUtf16ByteOrderMarks{"\xFF\xFE", "\xFE\xFF"};
constexpr std::array<std::string_view, 2> kHeaders{"Windows Registry Editor Version 5.00", "REGEDIT4"};
constexpr std::u16string_view kHive = u"HKEY_LOCAL_MACHINE";
constexpr std::u16string_view kDwordPrefix = u"dword:";
constexpr std::size_t kMaxDwordDigits = 8;
constexpr std::string_view kBlanks = " \t\r";

std::string_view Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool StartsWithIgnoreCase(std::string_view text, std::u16string_view prefix) {
    return text.size() >= prefix.size() &&
           platform::EqualsIgnoreCase(platform::FromUtf8(text.substr(0, prefix.size())), prefix);
}

bool HasEmptyComponent(std::string_view keyPath) {
    return keyPath.empty() || keyPath.front() == '\\' || keyPath.back() == '\\' ||
           keyPath.find("\\\\") != std::string_view::npos;
}

}  // namespace

RegistryTree RegFileParser::Parse(std::string_view text, std::string_view sourceName) {
    if (text.starts_with(kUtf8ByteOrderMark)) {
        text.remove_prefix(kUtf8ByteOrderMark.size());
    }
    RegFileParser parser(sourceName);
    if (std::any_of(kUtf16ByteOrderMarks.begin(), kUtf16ByteOrderMarks.end(),
                    [&](std::string_view mark) { return text.starts_with(mark); })) {
        // Registry editors export UTF-16; say so rather than complain about the first line.
        parser.lineNumber_ = 1;
        parser.Fail("the file is UTF-16 text; the device reads it as UTF-8");
    }
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        ++parser.lineNumber_;
        parser.ParseLine(Trim(text.substr(0, end)));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return std::move(parser.tree_);
}

void RegFileParser::ParseLine(std::string_view line) {
    if (line.empty() || line.front() == ';') {
        return;
    }
    const bool isHeader = headerAllowed_ && std::find(kHeaders.begin(), kHeaders.end(), line) != kHeaders.end();
    headerAllowed_ = false;
    if (isHeader) {
        return;
    }
    if (line.front() == '[') {
        ParseKeyLine(line);
    } else {
        ParseValueLine(line);
    }
}

void RegFileParser::ParseKeyLine(std::string_view line) {
    if (line.back() != ']') {
        Fail("a key line must end in ']'");
    }
    const std::string_view path = line.substr(1, line.size() - 2);
    const std::size_t separator = path.find('\\');
    if (!platform::EqualsIgnoreCase(platform::FromUtf8(path.substr(0, separator)), kHive)) {
        Fail(fmt::format("key [{}] does not lie under HKEY_LOCAL_MACHINE", path));
    }
    const std::string_view below = separator == std::string_view::npos ? "" : path.substr(separator + 1);
    if (separator != std::string_view::npos && HasEmptyComponent(below)) {
        Fail(fmt::format("key [{}] has an empty key name", path));
    }
    currentKey_ = tree_.Create(platform::FromUtf8(below));
}

void RegFileParser::ParseValueLine(std::string_view line) {
    if (!currentKey_) {
        Fail("a value before the first [HKEY_LOCAL_MACHINE\\...] key line");
    }
    std::string_view rest = line;
    std::string name;
    if (rest.front() == '"') {
        name = ReadQuoted(rest);
    } else if (rest.front() == '@') {
        rest.remove_prefix(1);
    } else {
        Fail("expected a [HKEY_LOCAL_MACHINE\\...] key, a \"Name\"=value or @=value line, or a ; comment");
    }
    rest = Trim(rest);
    if (rest.empty() || rest.front() != '=') {
        Fail("expected '=' after the value name");
    }
    rest.remove_prefix(1);
    tree_.SetValue(*currentKey_, platform::FromUtf8(name), ParseData(Trim(rest)));
}

RegistryValue RegFileParser::ParseData(std::string_view data) const {
    if (data.starts_with('"')) {
        const std::string text = ReadQuoted(data);
        if (!Trim(data).empty()) {
            Fail("unexpected text after the closing quote");
        }
        return platform::FromUtf8(text);
    }
    if (StartsWithIgnoreCase(data, kDwordPrefix)) {
        return ParseDword(data.substr(kDwordPrefix.size()));
    }
    Fail("unsupported value: values are \"text\" or dword:0000000a");
}

std::uint32_t RegFileParser::ParseDword(std::string_view digits) const {
    std::uint32_t number = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, failure] = std::from_chars(digits.data(), end, number, 16);
    if (digits.empty() || digits.size() > kMaxDwordDigits || failure != std::errc() || stop != end) {
        Fail("a dword value needs 1 to 8 hex digits, as in dword:0000000a");
    }
    return number;
}

std::string RegFileParser::ReadQuoted(std::string_view& rest) const {
    std::string text;
    for (std::size_t i = 1; i < rest.size(); ++i) {
        char c = rest[i];
        if (c == '"') {
            rest.remove_prefix(i + 1);
            return text;
        }
        if (c == '\\') {
            if (i + 1 == rest.size() || (rest[i + 1] != '\\' && rest[i + 1] != '"')) {
                Fail("unknown escape: inside quotes only \\\\ and \\\" are allowed");
            }
            c = rest[++i];
        }
        text += c;
    }
    Fail("missing closing quote");
}

void RegFileParser::Fail(std::string_view problem) const {
    throw DeviceError(fmt::format("{}:{}: {}", sourceName_, lineNumber_, problem));
}

}  // namespace velkor::shared
