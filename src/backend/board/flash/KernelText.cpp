#include "backend/board/flash/KernelText.h"

#include <algorithm>

namespace velkor::board {
namespace {

bool IsOctalDigit(char character) { return character >= '0' && character <= '7'; }

}  // namespace

std::vector<std::string_view> SplitKernelText(std::string_view text, std::string_view delimiters) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find_first_of(delimiters, start), text.size());
        if (end > start) {
            pieces.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return pieces;
}

std::string UnescapeKernelPath(std::string_view field) {
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

}  // namespace velkor::board
