#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

namespace velkor::bench {

// The disk's own limit for writing an image into a region, measured in the same run as Velkor:
// one read of the card's image, a direct (O_DIRECT) write of it in 8 MiB requests, `fdatasync`
// and a direct read-back, not compared. Its buffer is made and touched before anything is timed.
class DiskLimit {
public:
    DiskLimit();

    // False when the image or region cannot be opened, read or written.
    bool Write(const std::filesystem::path& image, const std::filesystem::path& region, std::uint64_t length) const;
    // Seconds of one direct read of the region's first `length` bytes; negative when it failed.
    double ReadSeconds(const std::filesystem::path& region, std::uint64_t length) const;

private:
    struct Free {
        void operator()(char* data) const;
    };
    std::unique_ptr<char, Free> buffer_;
};

// Drops `path`'s pages from the host's cache, so the next run reads it from the disk; nothing else
// of the machine's cache is touched.
void DropFromCache(const std::filesystem::path& path);

}  // namespace velkor::bench
