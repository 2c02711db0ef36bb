#include "backend/shared/DeviceFile.h"
#include "backend/shared/FullWrite.h"
#include "backend/shared/flash/RegionWriter.h"
#include "platform/ErrorCodes.h"
#include "support/ProgramRun.h"
#include "support/RandomBytes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <tuple>

namespace velkor::shared {
namespace {

namespace fs = std::filesystem;
namespace error = platform::error;

constexpr std::uint64_t kChunk = 1024 * 1024;
constexpr std::uint64_t kImageBytes = 20 * kChunk + 12345;

struct ProofCase {
    const char* name;
    // A chunk the region holds otherwise before the write.
    std::optional<std::uint64_t> changedChunk;
    // A byte the medium loses once everything was flushed.
    std::optional<std::uint64_t> lostAt;
    std::uint32_t error;
    std::uint64_t bytesWritten;
};

// Each case on a region on the disk, which takes direct I/O where the file system does, and in
// memory, which is read and written through the page cache.
class RegionWriterTest : public testing::TestWithParam<std::tuple<ProofCase, bool>> {};

UniqueFd OpenRegion(const fs::path& path, const std::string& bytes, bool inMemory) {
    UniqueFd region(inMemory ? ::memfd_create("region", MFD_CLOEXEC)
                             : ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    EXPECT_TRUE(WriteFullyAt(region.Get(), bytes, 0));
    return region;
}

// What the writer wrote is read back from the medium after the flush; what it skipped was proven
// by its comparison read.
TEST_P(RegionWriterTest, ProvesEveryChunkOnTheMedium) {
    const auto& [c, inMemory] = GetParam();
    const QTemporaryDir temporary;
    const fs::path folder = temporary.path().toStdString();
    const std::string image = test::RandomBytes(kImageBytes, 1);
    std::string before = c.changedChunk ? image : std::string();
    if (c.changedChunk) {
        before[*c.changedChunk * kChunk + 7] ^= 1;
    }
    test::WriteHostFile(folder / "image", image);
    ErrorState errors;
    DeviceFile imageFile(UniqueFd(::open((folder / "image").c_str(), O_RDONLY | O_CLOEXEC)), errors);
    const UniqueFd region = OpenRegion(folder / "region", before, inMemory);
    RegionWriter::Hooks hooks;
    hooks.flushed = [&] {
        if (c.lostAt) {
            ASSERT_EQ(::pwrite(region.Get(), "?", 1, static_cast<off_t>(*c.lostAt)), 1);
            ASSERT_EQ(::fdatasync(region.Get()), 0);
        }
    };
    RegionWriter writer(region.Get(), 32 * kChunk, errors, hooks);

    const std::optional<std::uint64_t> length = writer.Write(imageFile);
    ASSERT_EQ(length, kImageBytes);
    EXPECT_EQ(writer.Verify(*length), c.error == error::kSuccess);
    EXPECT_EQ(errors.Last(), c.error);
    EXPECT_EQ(writer.BytesWritten(), c.bytesWritten);
    EXPECT_EQ(writer.ImageChunks(), ChunkDigest::OfChunks(image));
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, RegionWriterTest,
    testing::Combine(
        testing::Values(ProofCase{"OneChangedChunk", 9, std::nullopt, error::kSuccess, kChunk},
                        ProofCase{"ChangedChunkLost", 9, 9 * kChunk + 100, error::kCrc, kChunk},
                        ProofCase{"WrittenChunkLost", std::nullopt, 3 * kChunk + 5, error::kCrc, kImageBytes},
                        ProofCase{"ShortLastChunkLost", std::nullopt, kImageBytes - 1, error::kCrc, kImageBytes}),
        testing::Bool()),
    [](const testing::TestParamInfo<std::tuple<ProofCase, bool>>& info) {
        return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) ? "InMemory" : "OnDisk");
    });

}  // namespace
}  // namespace velkor::shared
