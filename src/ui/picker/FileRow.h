#pragma once

#include <string>

namespace velkor::ui {

// What a row of the file picker stands for; kept as the row's item data.
enum class RowKind : int { Up = 1, Folder = 2, File = 3 };

// One row of the file picker's list, as it shows.
struct FileRow {
    RowKind kind;
    std::u16string name;
    std::u16string type;
    // Empty but for files.
    std::u16string size;

    bool operator==(const FileRow&) const = default;
};

}  // namespace velkor::ui
