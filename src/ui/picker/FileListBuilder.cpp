#include "ui/picker/FileListBuilder.h"

#include "platform/StoreProfiles.h"
#include "ui/picker/FileRowTexts.h"
#include "ui/picker/FolderRowReader.h"

#include <algorithm>
#include <cstdint>

namespace velkor::ui {
namespace {

// A folder with exactly these attributes is the file system's own and is never offered.
constexpr std::uint32_t kHiddenSystemFolder =
    platform::kFileAttributeDirectory | platform::kFileAttributeHidden | platform::kFileAttributeSystem;

bool IsFolder(const platform::FindData& entry) { return (entry.attributes & platform::kFileAttributeDirectory) != 0; }

}  // namespace

FileListBuilder::FileListBuilder(platform::FileSystem& fileSystem, platform::Registry& registry,
                                 const UiStrings& strings, const platform::StringArray& extensions)
    : fileSystem_(fileSystem), registry_(registry), strings_(strings), extensions_(extensions) {}

std::vector<FileRow> FileListBuilder::Rows(std::u16string_view folder) const {
    FolderRowReader reader(*this, folder);
    FolderRowReader::Batch rows = reader.Next(SIZE_MAX);
    rows.folders.insert(rows.folders.end(), std::make_move_iterator(rows.files.begin()),
                        std::make_move_iterator(rows.files.end()));
    return std::move(rows.folders);
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
