#pragma once

#include "backend/sim/SimPlatform.h"
#include "backend/sim/TempDevice.h"

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace velkor::sim::test {

// A device holding \StorageCard\Images\NK.bin ("image") and \StorageCard2\other.bin ("other").
class Device {
public:
    explicit Device(std::string_view faults = "{}") : temp_("", faults) {
        temp_.Write("root/StorageCard/Images/NK.bin", "image");
        temp_.Write("root/StorageCard2/other.bin", "other");
        sim_.emplace(temp_.Dir());
    }

    platform::FileSystem& Files() { return sim_->platform().fileSystem; }
    std::uint32_t LastError() { return sim_->platform().system.GetLastError(); }
    std::string Host(const char* relative) const { return temp_.Read(std::filesystem::path("root") / relative); }
    bool HostExists(const char* relative) const { return std::filesystem::exists(temp_.Root() / relative); }
    const TempDevice& Temp() const { return temp_; }
    // Every entry below the root, folders ending in '/'.
    std::set<std::string> Entries() const {
        namespace fs = std::filesystem;
        std::set<std::string> entries;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(temp_.Root())) {
            entries.insert(fs::relative(entry.path(), temp_.Root()).string() + (entry.is_directory() ? "/" : ""));
        }
        return entries;
    }

    bool Write(std::u16string_view path, platform::FileMode mode, std::string_view bytes) {
        const std::unique_ptr<platform::File> file = Files().OpenFile(path, mode);
        return file && file->Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    }

private:
    TempDevice temp_;
    std::optional<SimPlatform> sim_;
};

// Bytes that differ from their neighbours, so that a chunk copied twice or out of place shows.
inline std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i % 251);
    }
    return bytes;
}

}  // namespace velkor::sim::test
