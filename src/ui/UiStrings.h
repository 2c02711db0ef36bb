#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace velkor::ui {

// The file picker's texts that follow the device's language.
enum class UiStringId : std::size_t { ColumnName, ColumnType, ColumnSize, PreviousLayer, FolderSuffix, FileSuffix };

inline constexpr std::size_t kUiStringCount = 6;

// The table of those texts: English when built, Chinese after UseChineseSet().
class UiStrings {
public:
    UiStrings();

    const std::u16string& operator[](UiStringId id) const;
    // Replaces every entry, in index order, with its Chinese text.
    void UseChineseSet();

private:
    std::array<std::u16string, kUiStringCount> entries_;
};

}  // namespace velkor::ui
