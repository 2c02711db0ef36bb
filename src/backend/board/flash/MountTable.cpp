#include "backend/board/flash/MountTable.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <sstream>

namespace velkor::board {
namespace {

constexpr std::size_t kDeviceField = 2;
constexpr std::size_t kMountPointField = 4;
// The optional fields end at this one; the file system type and the source follow it.
constexpr std::string_view kSeparator = "-";

// The non-empty pieces of `text` between the delimiters.
std::vector<std::string_view> Split(std::string_view text, char delimiter) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find(delimiter, start), text.size());
        if (end > start) {
            pieces.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return pieces;
}

bool IsOctalDigit(char character) { return character >= '0' && character <= '7'; }

// The kernel writes a space, tab, newline or backslash in a path as a backslash and three octal digits.
std::string Unescape(std::string_view field) {
    std::string text;
    for (std::size_t index = 0; index < field.size(); ++index) {
        const std::string_view digits = field.substr(index + 1, 3);
        if (field[index] == '\\' && digits.size() == 3 && std::all_of(digits.begin(), digits.end(), IsOctalDigit)) {
            text += static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 + (digits[2] - '0'));
            index += digits.size();
        } else {
            text += field[index];
        }
    }
    return text;
}

std::optional<MountEntry> ParseLine(std::string_view line) {
    const std::vector<std::string_view> fields = Split(line, ' ');
    std::size_t separator = kMountPointField + 2;
    while (separator < fields.size() && fields[separator] != kSeparator) {
        ++separator;
    }
    const std::size_t sourceField = separator + 2;
    if (sourceField >= fields.size()) {
        return std::nullopt;
    }
    const std::optional<DeviceNumber> device = ParseDeviceNumber(fields[kDeviceField]);
    if (!device) {
        return std::nullopt;
    }
    return MountEntry{*device, Unescape(fields[kMountPointField]), Unescape(fields[sourceField])};
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> entries;
    for (const std::string_view line : Split(text, '\n')) {
        if (std::optional<MountEntry> entry = ParseLine(line)) {
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

std::optional<std::string> ReadMountInfo() {
    std::ifstream file("/proc/self/mountinfo");
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) {
        errno = EIO;
        return std::nullopt;
    }
    return std::move(text).str();
}

}  // namespace velkor::board
