#include "ui/picker/FileListBuilder.h"

#include "platform/StoreProfiles.h"
#include "ui/picker/FileRowTexts.h"

#include <algorithm>

namespace velkor::ui {
namespace {

constexpr std::u16string_view kEveryEntry = u"\\*.*";
// A folder with exactly these attributes is the file system's own and is never offered.
constexpr std::uint32_t kHiddenSystemFolder =
    platform::kFileAttributeDirectory | platform::kFileAttributeHidden | platform::kFileAttributeSystem;

bool IsFolder(const platform::FindData& entry) { return (entry.attributes & platform::kFileAttributeDirectory) != 0; }

}  // namespace

FileListBuilder::FileListBuilder(platform::FileSystem& fileSystem, platform::Registry& registry,
                                 const UiStrings& strings, const platform::StringArray& extensions)
    : fileSystem_(fileSystem), registry_(registry), strings_(strings), extensions_(extensions) {}

std::vector<FileRow> FileListBuilder::Rows(std::u16string_view folder) const {
    const std::u16string pattern = std::u16string(folder) + std::u16string(kEveryEntry);
    platform::FindData first;
    const std::unique_ptr<platform::FolderSearch> search =
        pattern.size() <= kMaxPathChars ? fileSystem_.FindFirstFile(pattern, first) : nullptr;
    if (!search) {
        return {UpRow()};
    }
    return folder.empty() ? RootRows() : FolderRows(folder, *search, first);
}

std::vector<FileRow> FileListBuilder::FolderRows(std::u16string_view folder, platform::FolderSearch& search,
                                                 const platform::FindData& first) const {
    std::vector<FileRow> folders{UpRow()};
    std::vector<FileRow> files;
    platform::FindData entry = first;
    do {
        if (std::optional<FileRow> row = EntryRow(folder, entry)) {
            (row->kind == RowKind::Folder ? folders : files).push_back(std::move(*row));
        }
    } while (search.FindNext(entry));
    folders.insert(folders.end(), std::make_move_iterator(files.begin()), std::make_move_iterator(files.end()));
    return folders;
}

std::optional<FileRow> FileListBuilder::EntryRow(std::u16string_view folder, const platform::FindData& entry) const {
    if (folder.size() + 1 + entry.name.size() > kMaxPathChars) {
        return std::nullopt;
    }
    if (IsFolder(entry)) {
        if (entry.name == u"." || entry.name == u".." || entry.attributes == kHiddenSystemFolder) {
            return std::nullopt;
        }
        return FileRow{RowKind::Folder, entry.name, strings_[UiStringId::FolderSuffix], {}};
    }
    std::u16string extension;
    if ((entry.attributes & platform::kFileAttributeHidden) || !MatchExtension(entry.name, extensions_, extension)) {
        return std::nullopt;
    }
    return FileRow{RowKind::File, entry.name, extension + strings_[UiStringId::FileSuffix], SizeText(entry.size)};
}

std::vector<FileRow> FileListBuilder::RootRows() const {
    std::vector<FileRow> rows;
    const auto stores = platform::RemovableStoreFolders(registry_);
    for (const std::u16string& store : stores.value_or(std::vector<std::u16string>())) {
        for (std::u16string& mounted : platform::MountedStoreFolders(fileSystem_, store)) {
            rows.push_back({RowKind::Folder, std::move(mounted), strings_[UiStringId::FolderSuffix], {}});
        }
    }
    return rows;
}

FileRow FileListBuilder::UpRow() const { return {RowKind::Up, u"..", strings_[UiStringId::PreviousLayer], {}}; }

}  // namespace velkor::ui
