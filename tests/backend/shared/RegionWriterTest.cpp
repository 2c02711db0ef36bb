#include "backend/shared/DeviceFile.h"
#include "backend/shared/flash/RegionWriter.h"
#include "platform/ErrorCodes.h"
#include "support/ProgramRun.h"
#include "support/RandomBytes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

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

class RegionWriterTest : public testing::TestWithParam<ProofCase> {};

// What the writer wrote is read back from the medium after the flush; what it skipped was proven
// by its comparison read.
TEST_P(RegionWriterTest, ProvesEveryChunkOnTheMedium) {
    const ProofCase& c = GetParam();
    const QTemporaryDir temporary;
    const fs::path folder = temporary.path().toStdString();
    const std::string image = test::RandomBytes(kImageBytes, 1);
    std::string before = c.changedChunk ? image : std::string();
    if (c.changedChunk) {
        before[*c.changedChunk * kChunk + 7] ^= 1;
    }
    test::WriteHostFile(folder / "image", image);
    test::WriteHostFile(folder / "region", before);
    ErrorState errors;
    DeviceFile imageFile(UniqueFd(::open((folder / "image").c_str(), O_RDONLY | O_CLOEXEC)), errors);
    const UniqueFd region(::open((folder / "region").c_str(), O_RDWR | O_CLOEXEC));
    RegionWriter::Hooks hooks;
    hooks.flushed = [&] {
        if (c.lostAt) {
            const UniqueFd medium(::open((folder / "region").c_str(), O_WRONLY | O_CLOEXEC));
            ASSERT_EQ(::pwrite(medium.Get(), "?", 1, static_cast<off_t>(*c.lostAt)), 1);
            ASSERT_EQ(::fdatasync(medium.Get()), 0);
        }
    };
    RegionWriter writer(region.Get(), 32 * kChunk, errors, hooks);

    const std::optional<std::uint64_t> length = writer.Write(imageFile);
    ASSERT_EQ(length, kImageBytes);
    EXPECT_EQ(writer.Verify(*length), c.error == error::kSuccess);
    EXPECT_EQ(errors.Last(), c.error);
    EXPECT_EQ(writer.BytesWritten(), c.bytesWritten);
    EXPECT_EQ(writer.ImageDigest(), platform::Sha256::Of(image));
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, RegionWriterTest,
    testing::Values(ProofCase{"OneChangedChunk", 9, std::nullopt, error::kSuccess, kChunk},
                    ProofCase{"ChangedChunkLost", 9, 9 * kChunk + 100, error::kCrc, kChunk},
                    ProofCase{"WrittenChunkLost", std::nullopt, 3 * kChunk + 5, error::kCrc, kImageBytes},
                    ProofCase{"ShortLastChunkLost", std::nullopt, kImageBytes - 1, error::kCrc, kImageBytes}),
    [](const testing::TestParamInfo<ProofCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::shared
