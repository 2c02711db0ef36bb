#pragma once

#include "platform/FileSystem.h"

#include <map>
#include <optional>
#include <set>
#include <string>

namespace velkor::test {

// An in-memory file system with the device's rules: paths compare without regard to case, and
// a leading backslash is optional. Failures can be injected, and open files are counted so that
// tests can tell every file was closed.
class FakeFileSystem : public platform::FileSystem {
public:
    void AddDirectory(std::u16string_view path);
    // Adds the file and its folders.
    void AddFile(std::u16string_view path, const std::string& bytes);
    std::optional<std::string> Content(std::u16string_view path) const;
    bool Exists(std::u16string_view path) const;
    // Every path of a file, as stored (lower case).
    std::set<std::u16string> FilePaths() const;
    int OpenFiles() const { return openFiles_; }

    // Opening this path fails with access denied.
    void FailOpen(std::u16string_view path);
    // Writes succeed this many times, then every write fails with disk full.
    void FailWritesAfter(int successfulWrites) { writesLeft_ = successfulWrites; }
    void FailMoves() { failMoves_ = true; }

    std::uint32_t GetAttributes(std::u16string_view path) override;
    bool CreateDirectory(std::u16string_view path) override;
    bool CopyFile(std::u16string_view from, std::u16string_view to) override;
    bool DeleteFile(std::u16string_view path) override;
    bool MoveFile(std::u16string_view from, std::u16string_view to) override;
    std::unique_ptr<platform::File> OpenFile(std::u16string_view path, platform::FileMode mode) override;

private:
    class OpenedFile;

    static std::u16string Key(std::u16string_view path);
    bool ParentExists(const std::u16string& key) const;
    bool TakeWrite();

    std::map<std::u16string, std::string> files_;
    std::set<std::u16string> directories_{u""};
    std::set<std::u16string> failingOpens_;
    std::optional<int> writesLeft_;
    bool failMoves_ = false;
    int openFiles_ = 0;
};

}  // namespace velkor::test
