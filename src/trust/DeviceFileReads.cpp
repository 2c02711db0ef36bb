#include "trust/DeviceFileReads.h"

#include "platform/OverlappedReads.h"

#include <algorithm>
#include <array>
#include <vector>

namespace velkor::trust {
namespace {

// What an image's digest reads at a time: large reads keep the card streaming.
constexpr std::uint32_t kDigestRequestBytes = 4 * 1024 * 1024;

// Reads the open file chunk by chunk into `take` until its end, or until more than `maxBytes` were
// taken; false when a read fails.
template <typename Take>
bool ReadChunks(platform::File& file, std::uint64_t maxBytes, Take take) {
    std::vector<char> chunk(kReadChunkBytes);
    std::uint64_t total = 0;
    while (total <= maxBytes) {
        std::uint32_t got = 0;
        if (!file.Read(chunk.data(), kReadChunkBytes, got)) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        take(chunk.data(), got);
        total += got;
    }
    return true;
}

}  // namespace

std::optional<FileDigest> DigestDeviceFile(platform::FileSystem& fileSystem, std::u16string_view path,
                                           std::uint64_t listedSize, const platform::ChunkKey& key) {
    const std::unique_ptr<platform::File> file = fileSystem.OpenFile(path, platform::FileMode::Read);
    if (!file) {
        return std::nullopt;
    }
    FileDigest digest{file->Length(), {}, {}, file->Identity()};
    if (digest.size != listedSize) {
        return digest;
    }
    digest.size = 0;
    platform::Sha256 hash;
    platform::ChunkTagger tagger(key);
    std::array<std::vector<char>, 2> requests{std::vector<char>(kDigestRequestBytes), std::vector<char>(kDigestRequestBytes)};
    const bool read = platform::ReadOverlapped<std::vector<char>>(
        {&requests[0], &requests[1]},
        [&](std::vector<char>& request) -> std::optional<std::uint64_t> {
            const auto wanted =
                static_cast<std::uint32_t>(std::min<std::uint64_t>(kDigestRequestBytes, listedSize - digest.size));
            std::uint32_t got = 0;
            if (wanted > 0 && !file->Read(request.data(), wanted, got)) {
                return std::nullopt;
            }
            digest.size += got;
            // Tagged here, while the other thread hashes the request before.
            tagger.Update(request.data(), got);
            return got;
        },
        [&](const std::vector<char>& request, std::uint64_t count) {
            hash.Update(request.data(), count);
            return true;
        });
    if (!read) {
        return std::nullopt;
    }
    digest.sha256 = hash.Finish();
    digest.chunkTags = tagger.Finish();
    return digest;
}

DeviceFileText ReadDeviceFileText(platform::FileSystem& fileSystem, std::u16string_view path, std::size_t maxBytes) {
    const std::uint32_t attributes = fileSystem.GetAttributes(path);
    if (attributes == platform::kInvalidFileAttributes) {
        return {TextReadOutcome::Missing, {}};
    }
    const std::unique_ptr<platform::File> file = (attributes & platform::kFileAttributeDirectory) != 0
                                                     ? nullptr
                                                     : fileSystem.OpenFile(path, platform::FileMode::Read);
    if (!file) {
        return {TextReadOutcome::Failed, {}};
    }
    if (file->Length() > maxBytes) {
        return {TextReadOutcome::TooLarge, {}};
    }
    DeviceFileText text{TextReadOutcome::Read, {}};
    if (!ReadChunks(*file, maxBytes, [&](const char* data, std::uint32_t size) { text.bytes.append(data, size); })) {
        return {TextReadOutcome::Failed, {}};
    }
    if (text.bytes.size() > maxBytes) {
        return {TextReadOutcome::TooLarge, {}};
    }
    return text;
}

}  // namespace velkor::trust
