#pragma once

#include "backend/shared/UniqueFd.h"
#include "backend/shared/flash/AlignedBuffer.h"

#include <cstdint>

namespace velkor::shared {

// Reads a region from its medium rather than from the host's page cache: through a second
// descriptor of the same open region with O_DIRECT, in the large requests the caller asks for.
// Where the file system or device refuses direct I/O it reads through the cache, and says so, so
// that the caller drops the cached pages first and proves nothing by a read it could not trust.
class MediumReader {
public:
    // `region` stays open, and owned by the caller, while the reader is used.
    explicit MediumReader(int region);

    // Reads `count` bytes at `offset` (a multiple of AlignedBuffer::kAlignment) into `buffer`, which
    // must hold `count` rounded up to the alignment; fewer only at the region's end. -1 with errno set.
    std::int64_t Read(const AlignedBuffer& buffer, std::uint32_t count, std::uint64_t offset);
    // Whether the reads came from the medium itself, past the page cache.
    bool Direct() const { return direct_.IsValid(); }

private:
    std::int64_t ReadDirect(const AlignedBuffer& buffer, std::uint32_t count, std::uint64_t offset);

    int region_;
    UniqueFd direct_;
};

}  // namespace velkor::shared
