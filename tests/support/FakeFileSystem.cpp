#include "support/FakeFileSystem.h"

#include "platform/DeviceText.h"

#include <algorithm>
#include <deque>

namespace velkor::test {

class FakeFileSystem::OpenedFile : public platform::File {
public:
    OpenedFile(FakeFileSystem& owner, std::u16string key) : owner_(owner), key_(std::move(key)) { ++owner_.openFiles_; }
    ~OpenedFile() override { --owner_.openFiles_; }

    bool Read(void* buffer, std::uint32_t count, std::uint32_t& bytesRead) override {
        const std::string& content = owner_.files_.at(key_);
        bytesRead = static_cast<std::uint32_t>(std::min<std::size_t>(count, content.size() - position_));
        content.copy(static_cast<char*>(buffer), bytesRead, position_);
        position_ += bytesRead;
        return true;
    }

    bool Write(const void* data, std::uint32_t count) override {
        if (!owner_.TakeWrite()) {
            return false;
        }
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
    bool Close() override { return true; }

private:
    FakeFileSystem& owner_;
    std::u16string key_;
    std::size_t position_ = 0;
};

class FakeFileSystem::Search : public platform::FolderSearch {
public:
    Search(FakeFileSystem& owner, std::deque<platform::FindData> rest) : owner_(owner), rest_(std::move(rest)) {
        ++owner_.openSearches_;
    }
    ~Search() override { --owner_.openSearches_; }

    bool FindNext(platform::FindData& entry) override {
        if (rest_.empty()) {
            return false;
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

void FakeFileSystem::AddDirectory(std::u16string_view path) {
    std::u16string key = Key(path);
    std::u16string spelling(path.substr(0, path.find_last_not_of(u'\\') + 1));
    while (!key.empty()) {
        if (directories_.insert(key).second) {
            Remember(spelling);
        }
        const std::size_t split = key.rfind(u'\\');
        key = split == std::u16string::npos ? std::u16string() : key.substr(0, split);
        spelling = spelling.substr(0, spelling.rfind(u'\\'));
    }
}

void FakeFileSystem::AddFile(std::u16string_view path, const std::string& bytes) {
    const std::u16string key = Key(path);
    const std::size_t split = key.rfind(u'\\');
    if (split != std::u16string::npos) {
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

bool FakeFileSystem::ParentExists(const std::u16string& key) const {
    const std::size_t split = key.rfind(u'\\');
    return directories_.count(split == std::u16string::npos ? std::u16string() : key.substr(0, split)) > 0;
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
    return files_.count(key) ? platform::kFileAttributeArchive | extraBits : platform::kInvalidFileAttributes;
}

bool FakeFileSystem::CreateDirectory(std::u16string_view path) {
    const std::u16string key = Key(path);
    if (Exists(key) || !ParentExists(key)) {
        return false;
    }
    directories_.insert(key);
    Remember(path);
    return true;
}

bool FakeFileSystem::CopyFile(std::u16string_view from, std::u16string_view to) {
    const auto source = files_.find(Key(from));
    if (source == files_.end() || !ParentExists(Key(to)) || directories_.count(Key(to))) {
        return false;
    }
    if (!files_.count(Key(to))) {
        Remember(to);
    }
    files_[Key(to)] = source->second;
    return true;
}

bool FakeFileSystem::DeleteFile(std::u16string_view path) { return files_.erase(Key(path)) > 0; }

bool FakeFileSystem::MoveFile(std::u16string_view from, std::u16string_view to) {
    const auto source = files_.find(Key(from));
    if (failMoves_ || source == files_.end() || !ParentExists(Key(to))) {
        return false;
    }
    std::string content = std::move(source->second);
    files_.erase(source);
    Remember(to);
    files_[Key(to)] = std::move(content);
    return true;
}

std::unique_ptr<platform::File> FakeFileSystem::OpenFile(std::u16string_view path, platform::FileMode mode) {
    const std::u16string key = Key(path);
    if (failingOpens_.count(key) || directories_.count(key)) {
        return nullptr;
    }
    if (mode == platform::FileMode::CreateNew && files_.count(key)) {
        return nullptr;
    }
    if (mode == platform::FileMode::CreateTruncate || mode == platform::FileMode::CreateNew) {
        if (!ParentExists(key)) {
            return nullptr;
        }
        if (!files_.count(key)) {
            Remember(path);
        }
        files_[key].clear();
    } else if (!files_.count(key)) {
        return nullptr;
    }
    return std::make_unique<OpenedFile>(*this, key);
}

std::vector<platform::FindData> FakeFileSystem::Entries(const std::u16string& folderKey) {
    std::vector<platform::FindData> entries;
    std::set<std::u16string> listed;
    for (const std::u16string& spelling : spellings_) {
        const std::u16string key = Key(spelling);
        const std::size_t split = key.rfind(u'\\');
        const std::u16string parent = split == std::u16string::npos ? std::u16string() : key.substr(0, split);
        if (parent != folderKey || !Exists(key) || !listed.insert(key).second) {
            continue;
        }
        const auto file = files_.find(key);
        entries.push_back({spelling.substr(spelling.rfind(u'\\') + 1), GetAttributes(key),
                           file == files_.end() ? 0 : file->second.size()});
    }
    return entries;
}

std::unique_ptr<platform::FolderSearch> FakeFileSystem::FindFirstFile(std::u16string_view pattern,
                                                                      platform::FindData& first) {
    constexpr std::u16string_view kEveryName = u"\\*.*";
    if (!pattern.ends_with(kEveryName)) {
        return nullptr;
    }
    const std::u16string folder = Key(pattern.substr(0, pattern.size() - kEveryName.size()));
    if (!directories_.count(folder)) {
        return nullptr;
    }
    const std::vector<platform::FindData> entries = Entries(folder);
    if (entries.empty()) {
        return nullptr;
    }
    first = entries.front();
    return std::make_unique<Search>(*this, std::deque<platform::FindData>(entries.begin() + 1, entries.end()));
}

}  // namespace velkor::test
