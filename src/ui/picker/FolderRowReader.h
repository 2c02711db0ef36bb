#pragma once

#include "platform/FileSystem.h"
#include "ui/picker/FileListBuilder.h"
#include "ui/picker/FileRow.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::ui {

// Reads the rows of one folder a batch at a time, so that the picker shows its first screen
// before a large folder is read through. All batches together are the rows FileListBuilder::Rows
// gives, in its order, when each batch's folders go after the folders before them and its files
// after every row so far.
class FolderRowReader {
public:
    struct Batch {
        std::vector<FileRow> folders;
        std::vector<FileRow> files;
    };

    // Starts the folder's search; the empty path is the root view.
    FolderRowReader(const FileListBuilder& builder, std::u16string_view folder);

    // The rows of up to `entries` more of the folder's entries; the first batch also holds the Up
    // row, or the whole root view.
    Batch Next(std::size_t entries);
    bool Done() const { return startRows_.empty() && !next_; }

private:
    void Advance();

    FileListBuilder builder_;
    std::u16string folder_;
    std::unique_ptr<platform::FolderSearch> search_;
    // Rows that come before any entry: the Up row, or the root view's stores.
    std::vector<FileRow> startRows_;
    // The entry found and not yet examined.
    std::optional<platform::FindData> next_;
};

}  // namespace velkor::ui
