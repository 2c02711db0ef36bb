#pragma once

#include "backend/shared/UniqueFd.h"
#include "backend/shared/flash/AlignedBuffer.h"

#include <cstdint>

namespace velkor::shared {

// Reads and writes a region on its medium rather than in the host's page cache: through a second
// descriptor of the same open region with O_DIRECT, in the large requests the caller asks for.
// Where the file system or device refuses direct I/O it goes through the cache, and says so, so
// that the caller drops the cached pages first, sends written pages to the disk itself, and proves
// nothing by a read it could not trust.
class DirectMedium {
public:
    // `region` stays open, and owned by the caller, while the medium is used.
    explicit DirectMedium(int region);

    // Reads `count` bytes at `offset` (a multiple of AlignedBuffer::kAlignment) into `buffer`, which
    // must hold `count` rounded up to the alignment; fewer only at the region's end. -1 with errno set.
    std::int64_t Read(const AlignedBuffer& buffer, std::uint32_t count, std::uint64_t offset);
    // Writes all `count` bytes of `data` at `offset`: past the cache when the three are aligned to
    // AlignedBuffer::kAlignment, through it otherwise. False with errno set.
    bool Write(const char* data, std::uint32_t count, std::uint64_t offset);
    // Whether the reads came from the medium itself, past the page cache.
    bool Direct() const { return direct_.IsValid(); }

private:
    std::int64_t ReadDirect(const AlignedBuffer& buffer, std::uint32_t count, std::uint64_t offset);
    // From now on through the cache: the device takes no direct request of this shape.
    void RefusedDirect() { direct_ = UniqueFd(); }

    int region_;
    UniqueFd direct_;
};

}  // namespace velkor::shared
