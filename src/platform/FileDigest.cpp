#include "platform/FileDigest.h"

#include <algorithm>
#include <vector>

namespace velkor::platform {
namespace {

constexpr std::size_t kChunkBytes = 1024 * 1024;

}  // namespace

std::optional<Sha256Digest> DigestOfFile(File& file, std::uint64_t length) {
    Sha256 hash;
    std::vector<char> chunk(static_cast<std::size_t>(std::min<std::uint64_t>(length, kChunkBytes)));
    for (std::uint64_t left = length; left > 0;) {
        std::uint32_t read = 0;
        const auto wanted = static_cast<std::uint32_t>(std::min<std::uint64_t>(left, chunk.size()));
        if (!file.Read(chunk.data(), wanted, read) || read == 0) {
            return std::nullopt;
        }
        hash.Update(chunk.data(), read);
        left -= read;
    }
    return hash.Finish();
}

}  // namespace velkor::platform
