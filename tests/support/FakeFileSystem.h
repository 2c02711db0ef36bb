#pragma once

#include "platform/FileSystem.h"
#include "support/FakeLastError.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velkor::test {

// An in-memory file system with the device's rules: paths compare without regard to case, and
// a leading backslash is optional. Failures set the last error with the device's codes. Folder
// searches return entries spelled as added, newest first: the device promises no order, and a
// test must not lean on the order it added them in. Failures can be injected, and open files and
// searches are counted so that tests can tell every one was closed.
class FakeFileSystem : public platform::FileSystem, public FakeLastError {
public:
    using FakeLastError::FakeLastError;

    void AddDirectory(std::u16string_view path);
    // Adds the file and its folders.
    void AddFile(std::u16string_view path, const std::string& bytes);
    std::optional<std::string> Content(std::u16string_view path) const;
    bool Exists(std::u16string_view path) const;
    // Every path of a file, as stored (lower case).
    std::set<std::u16string> FilePaths() const;
    int OpenFiles() const { return openFiles_; }
    int OpenSearches() const { return openSearches_; }
    // Attribute bits the entry has besides directory or archive (hidden, system).
    void AddAttributes(std::u16string_view path, std::uint32_t attributes);

    // Opening this path fails with access denied.
    void FailOpen(std::u16string_view path);
    // Writes succeed this many times, then every write fails with disk full.
    void FailWritesAfter(int successfulWrites) { writesLeft_ = successfulWrites; }
    void FailMoves() { failMoves_ = true; }
    // Closing a file that was written fails with access denied, as on a volume whose flush fails,
    // and so does every copy.
    void FailCloses() { failCloses_ = true; }

    std::uint32_t GetAttributes(std::u16string_view path) override;
    bool CreateDirectory(std::u16string_view path) override;
    bool CopyFile(std::u16string_view from, std::u16string_view to) override;
    bool DeleteFile(std::u16string_view path) override;
    bool MoveFile(std::u16string_view from, std::u16string_view to) override;
    std::unique_ptr<platform::File> OpenFile(std::u16string_view path, platform::FileMode mode) override;
    std::unique_ptr<platform::FolderSearch> FindFirstFile(std::u16string_view pattern,
                                                          platform::FindData& first) override;

private:
    class OpenedFile;
    class Search;

    // Records the spelling of a path that has just come to exist.
    void Remember(std::u16string_view path);
    std::vector<platform::FindData> Entries(const std::u16string& folderKey);

    static std::u16string Key(std::u16string_view path);
    static std::u16string ParentKey(const std::u16string& key);
    bool ParentExists(const std::u16string& key) const;
    // The error for a path that names nothing: file not found in an existing folder, else path not found.
    std::uint32_t MissingError(const std::u16string& key) const;
    // Fails as the device does unless `key` names a file: folders are refused, missing files not found.
    bool IsFile(const std::u16string& key);
    bool TakeWrite();

    std::map<std::u16string, std::string> files_;
    std::set<std::u16string> directories_{u""};
    std::map<std::u16string, std::uint32_t> extraAttributes_;
    // Every path that was ever added, as spelled and in the order added.
    std::vector<std::u16string> spellings_;
    std::set<std::u16string> failingOpens_;
    std::optional<int> writesLeft_;
    bool failMoves_ = false;
    bool failCloses_ = false;
    int openFiles_ = 0;
    int openSearches_ = 0;
};

}  // namespace velkor::test
