#include "support/FakeFileSystem.h"

#include "platform/DeviceText.h"

#include <algorithm>

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

private:
    FakeFileSystem& owner_;
    std::u16string key_;
    std::size_t position_ = 0;
};

std::u16string FakeFileSystem::Key(std::u16string_view path) {
    while (!path.empty() && path.front() == u'\\') path.remove_prefix(1);
    while (!path.empty() && path.back() == u'\\') path.remove_suffix(1);
    return platform::ToLowerCase(path);
}

void FakeFileSystem::AddDirectory(std::u16string_view path) {
    std::u16string key = Key(path);
    while (!key.empty()) {
        directories_.insert(key);
        const std::size_t split = key.rfind(u'\\');
        key = split == std::u16string::npos ? std::u16string() : key.substr(0, split);
    }
}

void FakeFileSystem::AddFile(std::u16string_view path, const std::string& bytes) {
    const std::u16string key = Key(path);
    const std::size_t split = key.rfind(u'\\');
    if (split != std::u16string::npos) {
        AddDirectory(key.substr(0, split));
    }
    files_[key] = bytes;
}

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
    if (directories_.count(Key(path))) {
        return platform::kFileAttributeDirectory;
    }
    return files_.count(Key(path)) ? platform::kFileAttributeArchive : platform::kInvalidFileAttributes;
}

bool FakeFileSystem::CreateDirectory(std::u16string_view path) {
    const std::u16string key = Key(path);
    if (Exists(key) || !ParentExists(key)) {
        return false;
    }
    directories_.insert(key);
    return true;
}

bool FakeFileSystem::CopyFile(std::u16string_view from, std::u16string_view to) {
    const auto source = files_.find(Key(from));
    if (source == files_.end() || !ParentExists(Key(to)) || directories_.count(Key(to))) {
        return false;
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
        files_[key].clear();
    } else if (!files_.count(key)) {
        return nullptr;
    }
    return std::make_unique<OpenedFile>(*this, key);
}

}  // namespace velkor::test
