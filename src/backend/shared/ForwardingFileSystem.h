#pragma once

#include "platform/FileSystem.h"

#include <memory>
#include <string_view>

namespace velkor::shared {

// A file system laid over another that passes every call through to it; a layer overrides only the
// calls it changes.
class ForwardingFileSystem : public platform::FileSystem {
public:
    explicit ForwardingFileSystem(platform::FileSystem& inner) : inner_(inner) {}

    std::uint32_t GetAttributes(std::u16string_view path) override { return inner_.GetAttributes(path); }
    bool CreateDirectory(std::u16string_view path) override { return inner_.CreateDirectory(path); }
    bool CopyFile(std::u16string_view from, std::u16string_view to) override { return inner_.CopyFile(from, to); }
    bool DeleteFile(std::u16string_view path) override { return inner_.DeleteFile(path); }
    bool MoveFile(std::u16string_view from, std::u16string_view to) override { return inner_.MoveFile(from, to); }
    std::unique_ptr<platform::File> OpenFile(std::u16string_view path, platform::FileMode mode) override {
        return inner_.OpenFile(path, mode);
    }
    std::unique_ptr<platform::FolderSearch> FindFirstFile(std::u16string_view pattern,
                                                          platform::FindData& first) override {
        return inner_.FindFirstFile(pattern, first);
    }

protected:
    platform::FileSystem& Inner() const { return inner_; }

private:
    platform::FileSystem& inner_;
};

}  // namespace velkor::shared
