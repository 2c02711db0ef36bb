#pragma once

#include <filesystem>
#include <string_view>

namespace velkor::device_tool {

// A new folder beside a path, under a name nothing held before, removed with everything in it
// when the object goes unless it was kept.
class ScratchFolder {
public:
    // "PARENT/.NAME.PURPOSE-XXXXXX" beside `neighbour`. Throws shared::DeviceError when it cannot be made.
    ScratchFolder(const std::filesystem::path& neighbour, std::string_view purpose);
    ~ScratchFolder();

    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The folder was renamed into place and is no longer this object's to remove.
    void Keep() { kept_ = true; }

private:
    std::filesystem::path path_;
    bool kept_ = false;
};

}  // namespace velkor::device_tool
