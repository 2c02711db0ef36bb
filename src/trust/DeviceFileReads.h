#pragma once

#include "platform/ChunkTags.h"
#include "platform/FileSystem.h"
#include "platform/Sha256.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::trust {

// Images are read in pieces of this size, so that hashing one takes fixed memory.
inline constexpr std::uint32_t kReadChunkBytes = 64 * 1024;

struct FileDigest {
    // The file's length when it is not `listedSize`; otherwise the bytes hashed.
    std::uint64_t size = 0;
    platform::Sha256Digest sha256{};
    // The tags of its chunks under the key it was read with.
    std::vector<platform::ChunkTag> chunkTags;
    // The file that was read.
    platform::FileIdentity identity;
};

// The SHA-256 of a device file of `listedSize` bytes, and the tags of its chunks under `key`. No more
// than that is ever read, and a file of another length is not read at all: the size then tells, and
// the digest means nothing. Nothing when it cannot be opened or read; the platform's last error says
// why.
std::optional<FileDigest> DigestDeviceFile(platform::FileSystem& fileSystem, std::u16string_view path,
                                           std::uint64_t listedSize, const platform::ChunkKey& key);

enum class TextReadOutcome {
    Read,
    Missing,
    TooLarge,
    // A folder, or a file that cannot be opened or read (the platform's last error says why).
    Failed,
};

struct DeviceFileText {
    TextReadOutcome outcome = TextReadOutcome::Failed;
    std::string bytes;
};

// The whole of a small device file of at most `maxBytes`. Its length is checked before any byte is
// read, and a file that grows meanwhile is still not read past the limit.
DeviceFileText ReadDeviceFileText(platform::FileSystem& fileSystem, std::u16string_view path, std::size_t maxBytes);

}  // namespace velkor::trust
