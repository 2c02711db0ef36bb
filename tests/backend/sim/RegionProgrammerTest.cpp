#include "backend/sim/flash/RegionProgrammer.h"

#include "backend/shared/DeviceFile.h"
#include "backend/sim/TempDevice.h"
#include "platform/ErrorCodes.h"
#include "support/RandomBytes.h"

#include <fcntl.h>
#include <gtest/gtest.h>


namespace velkor::sim {
namespace {

namespace error = platform::error;

constexpr std::size_t kChunk = 1024 * 1024;
constexpr std::size_t kChunks = 20;

constexpr std::size_t kImageBytes = kChunks * kChunk + 12345;

std::string RandomBytes(unsigned seed) { return velkor::test::RandomBytes(kImageBytes, seed); }

// Made when first used, not while the tests are listed.
const std::string& Image() {
    static const std::string bytes = RandomBytes(1);
    return bytes;
}

// The image with one byte changed in each of the chunks listed.
std::string ChangedIn(std::initializer_list<std::size_t> chunks) {
    std::string bytes = Image();
    for (const std::size_t chunk : chunks) {
        bytes[chunk * kChunk + 77] = static_cast<char>(~bytes[chunk * kChunk + 77]);
    }
    return bytes;
}

struct ProgramCase {
    const char* name;
    std::string (*regionBefore)();
    bool readBackDiffers;
    std::uint32_t error;           // kSuccess: programmed
    std::uint64_t bytesWritten;  // by the region programmer
};

class RegionProgrammerTest : public ::testing::TestWithParam<ProgramCase> {};

// Chunks the region already holds are not written, and every byte is still read back.
TEST_P(RegionProgrammerTest, WritesOnlyChangedChunksAndReadsBackAll) {
    const ProgramCase& c = GetParam();
    test::TempDevice temp;
    temp.Write("card.bin", Image());
    temp.Write("flash/os.bin", c.regionBefore());
    PowerCut powerCut(std::nullopt);
    shared::ErrorState errors;
    RegionProgrammer programmer(temp.Dir() / "flash/os.bin", 64 * kChunk, c.readBackDiffers, powerCut, errors);
    shared::DeviceFile image(shared::UniqueFd(::open((temp.Dir() / "card.bin").c_str(), O_RDONLY | O_CLOEXEC)), errors);

    EXPECT_EQ(programmer.Program(image), c.error == error::kSuccess);
    EXPECT_EQ(errors.Last(), c.error);
    EXPECT_EQ(programmer.BytesWritten(), c.bytesWritten);
    EXPECT_TRUE(temp.Read("flash/os.bin") == Image()) << "the region holds the image afterwards";
}

// A tenth of the chunks changed writes a tenth of the image; once eight chunks in a row differed,
// the rest is written without comparing.
INSTANTIATE_TEST_SUITE_P(
    Regions, RegionProgrammerTest,
    ::testing::Values(
        ProgramCase{"Empty", [] { return std::string(); }, false, error::kSuccess, kImageBytes},
        ProgramCase{"Unchanged", [] { return Image(); }, false, error::kSuccess, 0},
        ProgramCase{"TenthChanged", [] { return ChangedIn({3, 11}); }, false, error::kSuccess, 2 * kChunk},
        ProgramCase{"StretchChanged", [] { return ChangedIn({2, 3, 4, 5, 6, 7, 8, 9}); }, false, error::kSuccess,
                    kImageBytes - 2 * kChunk},
        ProgramCase{"LastChunkChanged", [] { return ChangedIn({20}); }, false, error::kSuccess, 12345},
        ProgramCase{"ChangedEverywhere", [] { return RandomBytes(2); }, false, error::kSuccess, kImageBytes},
        ProgramCase{"LongerBefore", [] { return Image() + "tail"; }, false, error::kSuccess, 0},
        // The comparison read is the unchanged chunk's proof: read wrong, the chunk is written and fails.
        ProgramCase{"SkippedChunkReadBackCorrupt", [] { return Image(); }, true, error::kCrc, kChunk},
        ProgramCase{"ChangedChunkReadBackCorrupt", [] { return ChangedIn({0}); }, true, error::kCrc, kChunk}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor::sim
