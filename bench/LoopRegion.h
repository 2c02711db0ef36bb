#pragma once

#include <cstdint>
#include <filesystem>

namespace velkor::bench {

// A loop device over a sparse file of the scratch folder, with direct I/O where the disk allows it,
// so that the region's pages are not cached twice; detached when the object goes. An empty Path()
// when no loop device could be set up.
class LoopRegion {
public:
    LoopRegion(const std::filesystem::path& file, std::uint64_t bytes);
    ~LoopRegion();
    LoopRegion(const LoopRegion&) = delete;
    LoopRegion& operator=(const LoopRegion&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    bool DirectIo() const { return directIo_; }

private:
    std::filesystem::path path_;
    bool directIo_ = false;
};

}  // namespace velkor::bench
