#include "ui/picker/FolderRowReader.h"

#include <utility>

namespace velkor::ui {
namespace {

constexpr std::u16string_view kEveryEntry = u"\\*.*";

}  // namespace

FolderRowReader::FolderRowReader(const FileListBuilder& builder, std::u16string_view folder)
    : builder_(builder), folder_(folder) {
    const std::u16string pattern = folder_ + std::u16string(kEveryEntry);
    platform::FindData first;
    search_ = pattern.size() <= kMaxPathChars ? builder_.fileSystem_.FindFirstFile(pattern, first) : nullptr;
    if (search_ && folder_.empty()) {
        startRows_ = builder_.RootRows();
        search_.reset();
        return;
    }
    // A folder that cannot be searched, or holds nothing, gives the Up row alone.
    startRows_.push_back(builder_.UpRow());
    if (search_) {
        next_ = std::move(first);
    }
}

FolderRowReader::Batch FolderRowReader::Next(std::size_t entries) {
    Batch batch{std::exchange(startRows_, {}), {}};
    for (std::size_t examined = 0; examined < entries && next_; ++examined) {
        if (std::optional<FileRow> row = builder_.EntryRow(folder_, *next_)) {
            (row->kind == RowKind::Folder ? batch.folders : batch.files).push_back(std::move(*row));
        }
        Advance();
    }
    return batch;
}

void FolderRowReader::Advance() {
    platform::FindData entry;
    if (search_->FindNext(entry)) {
        next_ = std::move(entry);
        return;
    }
    next_.reset();
    search_.reset();
}

}  // namespace velkor::ui
