#pragma once

#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/StringArray.h"
#include "ui/UiStrings.h"
#include "ui/picker/FileRow.h"

#include <optional>
#include <string_view>
#include <vector>

namespace velkor::ui {

// The longest path the device's path buffers hold, without the terminating zero.
inline constexpr std::size_t kMaxPathChars = 259;

// Builds the rows the file picker shows for a folder, in the order they show: the Up row, the
// folders in the order the file system returns them, then the files of an accepted extension in
// that order. Nothing is sorted. The empty path is the root view: the mounted removable stores,
// without an Up row.
class FileListBuilder {
public:
    FileListBuilder(platform::FileSystem& fileSystem, platform::Registry& registry, const UiStrings& strings,
                    const platform::StringArray& extensions);

    // A folder that cannot be searched, or holds nothing, gives the Up row alone, so the operator
    // can always go back. Entries whose path would not fit the device's path buffers are left out.
    std::vector<FileRow> Rows(std::u16string_view folder) const;

private:
    // Reads a folder's rows in batches on the builder's rules.
    friend class FolderRowReader;

    std::vector<FileRow> RootRows() const;
    // The entry's row, or nothing when it is not listed.
    std::optional<FileRow> EntryRow(std::u16string_view folder, const platform::FindData& entry) const;
    FileRow UpRow() const;

    platform::FileSystem& fileSystem_;
    platform::Registry& registry_;
    const UiStrings& strings_;
    const platform::StringArray& extensions_;
};

}  // namespace velkor::ui
