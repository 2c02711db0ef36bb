#pragma once

#include "backend/sim/PowerCut.h"
#include "platform/FileSystem.h"

namespace velkor::sim {

// The device's file system with the power-cut switch: a copy (the second logo's) counts the bytes it
// writes, and the power goes before a copy that does not fit. Everything else passes through.
class PowerCutFileSystem : public platform::FileSystem {
public:
    PowerCutFileSystem(platform::FileSystem& fileSystem, PowerCut& powerCut);

    std::uint32_t GetAttributes(std::u16string_view path) override { return fileSystem_.GetAttributes(path); }
    bool CreateDirectory(std::u16string_view path) override { return fileSystem_.CreateDirectory(path); }
    bool CopyFile(std::u16string_view from, std::u16string_view to) override;
    bool DeleteFile(std::u16string_view path) override { return fileSystem_.DeleteFile(path); }
    bool MoveFile(std::u16string_view from, std::u16string_view to) override { return fileSystem_.MoveFile(from, to); }
    std::unique_ptr<platform::File> OpenFile(std::u16string_view path, platform::FileMode mode) override {
        return fileSystem_.OpenFile(path, mode);
    }
    std::unique_ptr<platform::FolderSearch> FindFirstFile(std::u16string_view pattern,
                                                          platform::FindData& first) override {
        return fileSystem_.FindFirstFile(pattern, first);
    }

private:
    platform::FileSystem& fileSystem_;
    PowerCut& powerCut_;
};

}  // namespace velkor::sim
