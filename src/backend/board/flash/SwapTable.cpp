#include "backend/board/flash/SwapTable.h"

#include "backend/board/flash/KernelText.h"

namespace velkor::board {

std::vector<std::filesystem::path> ParseSwaps(std::string_view text) {
    std::vector<std::filesystem::path> areas;
    const std::vector<std::string_view> lines = SplitKernelText(text, "\n");
    // The first line names the columns.
    for (std::size_t index = 1; index < lines.size(); ++index) {
        const std::vector<std::string_view> fields = SplitKernelText(lines[index], " \t");
        if (!fields.empty()) {
            areas.emplace_back(UnescapeKernelPath(fields.front()));
        }
    }
    return areas;
}

}  // namespace velkor::board
