#include "support/FakeFileSystem.h"

#include "backend/shared/SearchPattern.h"
#include "platform/DeviceText.h"

#include <algorithm>
#include <deque>

namespace velkor::test {

namespace error = platform::error;

class FakeFileSystem::OpenedFile : public platform::File {
public:
    OpenedFile(FakeFileSystem& owner, std::u16string key, platform::FileMode mode)
        : owner_(owner), key_(std::move(key)), mode_(mode) {
        ++owner_.openFiles_;
    }
    ~OpenedFile() override {
        if (!closed_) {
            --owner_.openFiles_;
        }
    }

    bool Read(void* buffer, std::uint32_t count, std::uint32_t& bytesRead) override {
        bytesRead = 0;
        if (mode_ == platform::FileMode::CreateTruncate || mode_ == platform::FileMode::CreateNew) {
            return owner_.errors_.Fail(error::kAccessDenied);  // opened for writing only
        }
        const std::string& content = owner_.files_.at(key_);
        // A position past the end reads nothing, as on the device.
        const std::size_t start = std::min(position_, content.size());
        bytesRead = static_cast<std::uint32_t>(std::min<std::size_t>(count, content.size() - start));
        content.copy(static_cast<char*>(buffer), bytesRead, start);
        position_ += bytesRead;
        return true;
    }

    bool Write(const void* data, std::uint32_t count) override {
        if (mode_ == platform::FileMode::Read) {
            return owner_.errors_.Fail(error::kAccessDenied);
        }
        if (!owner_.TakeWrite()) {
            return owner_.errors_.Fail(error::kDiskFull);
        }
        written_ = true;
        std::string& content = owner_.files_.at(key_);
        content.resize(std::max(content.size(), position_ + count));
        content.replace(position_, count, static_cast<const char*>(data), count);
        position_ += count;
        return true;
    }

    bool Seek(std::uint64_t offset) override {
        position_ = static_cast<std::size_t>(offset);
        return true;
    }

    std::uint64_t Length() const override { return owner_.files_.at(key_).size(); }
    // Its path names a file of the fake alone, letter case aside, so the path stands for its number.
    platform::FileIdentity Identity() const override { return {1, std::hash<std::u16string>{}(key_)}; }

    bool Close() override {
        if (closed_) {
            return owner_.errors_.Fail(error::kInvalidHandle);
        }
        closed_ = true;
        --owner_.openFiles_;
        if (written_ && owner_.failCloses_) {
            return owner_.errors_.Fail(error::kAccessDenied);
        }
        return true;
    }

private:
    FakeFileSystem& owner_;
    std::u16string key_;
    platform::FileMode mode_;
    std::size_t position_ = 0;
    bool written_ = false;
    bool closed_ = false;
};

class FakeFileSystem::Search : public platform::FolderSearch {
public:
    Search(FakeFileSystem& owner, std::deque<platform::FindData> rest) : owner_(owner), rest_(std::move(rest)) {
        ++owner_.openSearches_;
    }
    ~Search() override { --owner_.openSearches_; }

    bool FindNext(platform::FindData& entry) override {
        if (rest_.empty()) {
            return owner_.errors_.Fail(error::kNoMoreFiles);
        }
        entry = std::move(rest_.front());
        rest_.pop_front();
        return true;
    }

private:
    FakeFileSystem& owner_;
    std::deque<platform::FindData> rest_;
};

std::u16string FakeFileSystem::Key(std::u16string_view path) {
    while (!path.empty() && path.front() == u'\\') path.remove_prefix(1);
    while (!path.empty() && path.back() == u'\\') path.remove_suffix(1);
    return platform::ToLowerCase(path);
}

std::u16string FakeFileSystem::ParentKey(const std::u16string& key) {
    const std::size_t split = key.rfind(u'\\');
    return split == std::u16string::npos ? std::u16string() : key.substr(0, split);
}

void FakeFileSystem::AddDirectory(std::u16string_view path) {
    std::u16string key = Key(path);
    std::u16string spelling(path.substr(0, path.find_last_not_of(u'\\') + 1));
    while (!key.empty()) {
        if (directories_.insert(key).second) {
            Remember(spelling);
        }
        key = ParentKey(key);
        spelling = spelling.substr(0, spelling.rfind(u'\\'));
    }
}

void FakeFileSystem::AddFile(std::u16string_view path, const std::string& bytes) {
    const std::u16string key = Key(path);
    if (key.find(u'\\') != std::u16string::npos) {
        AddDirectory(path.substr(0, path.rfind(u'\\')));
    }
    if (!files_.count(key)) {
        Remember(path);
    }
    files_[key] = bytes;
}

void FakeFileSystem::AddAttributes(std::u16string_view path, std::uint32_t attributes) {
    extraAttributes_[Key(path)] |= attributes;
}

void FakeFileSystem::Remember(std::u16string_view path) { spellings_.emplace_back(path); }

std::optional<std::string> FakeFileSystem::Content(std::u16string_view path) const {
    const auto found = files_.find(Key(path));
    return found == files_.end() ? std::nullopt : std::optional(found->second);
}

bool FakeFileSystem::Exists(std::u16string_view path) const {
    return files_.count(Key(path)) > 0 || directories_.count(Key(path)) > 0;
}

std::set<std::u16string> FakeFileSystem::FilePaths() const {
    std::set<std::u16string> paths;
    for (const auto& file : files_) {
        paths.insert(file.first);
    }
    return paths;
}

void FakeFileSystem::FailOpen(std::u16string_view path) { failingOpens_.insert(Key(path)); }

bool FakeFileSystem::ParentExists(const std::u16string& key) const { return directories_.count(ParentKey(key)) > 0; }

std::uint32_t FakeFileSystem::MissingError(const std::u16string& key) const {
    return ParentExists(key) ? error::kFileNotFound : error::kPathNotFound;
}

bool FakeFileSystem::IsFile(const std::u16string& key) {
    if (directories_.count(key)) {
        return errors_.Fail(error::kAccessDenied);
    }
    if (!files_.count(key)) {
        return errors_.Fail(MissingError(key));
    }
    return true;
}

bool FakeFileSystem::TakeWrite() {
    if (!writesLeft_) {
        return true;
    }
    return (*writesLeft_)-- > 0;
}

std::uint32_t FakeFileSystem::GetAttributes(std::u16string_view path) {
    const std::u16string key = Key(path);
    const auto extra = extraAttributes_.find(key);
    const std::uint32_t extraBits = extra == extraAttributes_.end() ? 0 : extra->second;
    if (directories_.count(key)) {
        return platform::kFileAttributeDirectory | extraBits;
    }
    if (!files_.count(key)) {
        errors_.Fail(MissingError(key));
        return platform::kInvalidFileAttributes;
    }
    return platform::kFileAttributeArchive | extraBits;
}

bool FakeFileSystem::CreateDirectory(std::u16string_view path) {
    const std::u16string key = Key(path);
    if (Exists(key)) {
        return errors_.Fail(error::kAlreadyExists);
    }
    if (!ParentExists(key)) {
        return errors_.Fail(error::kPathNotFound);
    }
    directories_.insert(key);
    Remember(path);
    return true;
}

bool FakeFileSystem::CopyFile(std::u16string_view from, std::u16string_view to) {
    const std::u16string source = Key(from);
    const std::u16string target = Key(to);
    if (!IsFile(source)) {
        return false;
    }
    if (directories_.count(target)) {
        return errors_.Fail(error::kAccessDenied);
    }
    if (!ParentExists(target)) {
        return errors_.Fail(error::kPathNotFound);
    }
    if (source == target) {
        return errors_.Fail(error::kSharingViolation);
    }
    if (!TakeWrite() || failCloses_) {
        // As the device's copy, which leaves no partial file, not even the one it was replacing.
        files_.erase(target);
        return errors_.Fail(failCloses_ ? error::kAccessDenied : error::kDiskFull);
    }
    if (!files_.count(target)) {
        Remember(to);
    }
    files_[target] = files_.at(source);
    return true;
}

bool FakeFileSystem::DeleteFile(std::u16string_view path) {
    const std::u16string key = Key(path);
    if (!IsFile(key)) {
        return false;
    }
    files_.erase(key);
    return true;
}

bool FakeFileSystem::MoveFile(std::u16string_view from, std::u16string_view to) {
    const std::u16string source = Key(from);
    const std::u16string target = Key(to);
    if (failMoves_) {
        return errors_.Fail(error::kAccessDenied);
    }
    if (!IsFile(source)) {
        return false;
    }
    if (directories_.count(target)) {
        return errors_.Fail(error::kAccessDenied);
    }
    if (!ParentExists(target)) {
        return errors_.Fail(error::kPathNotFound);
    }
    std::string content = std::move(files_.at(source));
    files_.erase(source);
    Remember(to);
    files_[target] = std::move(content);
    return true;
}

std::unique_ptr<platform::File> FakeFileSystem::OpenFile(std::u16string_view path, platform::FileMode mode) {
    const std::u16string key = Key(path);
    const bool creates = mode == platform::FileMode::CreateTruncate || mode == platform::FileMode::CreateNew;
    if (failingOpens_.count(key) || directories_.count(key)) {
        errors_.Fail(error::kAccessDenied);
        return nullptr;
    }
    if (mode == platform::FileMode::CreateNew && files_.count(key)) {
        errors_.Fail(error::kAlreadyExists);
        return nullptr;
    }
    if (!creates && !files_.count(key)) {
        errors_.Fail(MissingError(key));
        return nullptr;
    }
    if (creates && !ParentExists(key)) {
        errors_.Fail(error::kPathNotFound);
        return nullptr;
    }
    if (creates && !files_.count(key)) {
        Remember(path);
    }
    if (creates) {
        files_[key].clear();
    }
    return std::make_unique<OpenedFile>(*this, key, mode);
}

std::vector<platform::FindData> FakeFileSystem::Entries(const std::u16string& folderKey) {
    std::vector<platform::FindData> entries;
    std::set<std::u16string> listed;
    for (auto spelling = spellings_.rbegin(); spelling != spellings_.rend(); ++spelling) {
        const std::u16string key = Key(*spelling);
        if (ParentKey(key) != folderKey || !Exists(key) || !listed.insert(key).second) {
            continue;
        }
        const auto file = files_.find(key);
        entries.push_back({spelling->substr(spelling->rfind(u'\\') + 1), GetAttributes(key),
                           file == files_.end() ? 0 : file->second.size()});
    }
    return entries;
}

std::unique_ptr<platform::FolderSearch> FakeFileSystem::FindFirstFile(std::u16string_view pattern,
                                                                      platform::FindData& first) {
    const std::optional<std::u16string_view> folderPath = shared::SearchedFolder(pattern);
    if (!folderPath) {
        errors_.Fail(error::kInvalidParameter);
        return nullptr;
    }
    const std::u16string folder = Key(*folderPath);
    if (!directories_.count(folder)) {
        errors_.Fail(error::kPathNotFound);
        return nullptr;
    }
    const std::vector<platform::FindData> entries = Entries(folder);
    if (entries.empty()) {
        errors_.Fail(error::kFileNotFound);
        return nullptr;
    }
    first = entries.front();
    return std::make_unique<Search>(*this, std::deque<platform::FindData>(entries.begin() + 1, entries.end()));
}

}  // namespace velkor::test
