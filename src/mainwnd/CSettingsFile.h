#pragma once

#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/StringArray.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::mainwnd {

// Opens and closes every entry of the settings file.
inline constexpr std::u16string_view EntryMarker = u"$|$";

// Reads the settings file into a list of entries, or writes a list of entries as the file's new
// content. The file is UTF-16LE text without a byte-order mark, one entry a line:
// marker, value, marker, CR LF. One object serves one load or one save.
class CSettingsFile {
public:
    CSettingsFile(platform::FileSystem& fileSystem, std::u16string path);

    // Appends the file's entries to `list`; returns its element count, or 0 when the file
    // cannot be read or holds no text.
    int ReadEntries(platform::StringArray& list);
    // Replaces the file with the entries. The new content goes to a temporary file beside it
    // first, so the old file stays as it was unless every line was written. Returns the length
    // in characters of the last line written, or 0 on failure.
    int WriteEntries(const platform::StringArray& list);
    // Appends each text found between an opening and a closing marker; text between a closing
    // marker and the next opening one is skipped. Returns the element count of `list`.
    int SplitEntries(std::u16string_view text, platform::StringArray& list) const;

private:
    std::u16string ReadText();
    // Creates the temporary file under a name nothing holds yet, so that neither an operator's
    // own file nor a folder of that name is touched; its path, or nothing.
    std::optional<std::u16string> CreateTemporaryFile();
    bool WriteLines(const platform::StringArray& list, std::size_t& lastLineLength);
    // The temporary file written, closed and moved over the settings file; false when any step failed.
    bool WriteAndReplace(const platform::StringArray& list, std::u16string_view temporaryPath,
                         std::size_t& lastLineLength);

    platform::FileSystem& fileSystem_;
    std::u16string path_;
    std::unique_ptr<platform::File> file_;
    std::u16string marker_;
};

}  // namespace velkor::mainwnd
