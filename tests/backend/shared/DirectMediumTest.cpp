#include "backend/shared/flash/DirectMedium.h"
#include "support/ProgramRun.h"
#include "support/RandomBytes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace velkor::shared {
namespace {

constexpr std::uint32_t kMebibyte = 1024 * 1024;
// A region whose end is not on a block: its last read is a short one.
constexpr std::uint64_t kRegionBytes = 3 * kMebibyte + 123;

// The region file at `region`, of kRegionBytes pseudo-random bytes, which it answers.
std::string MakeRegion(const std::filesystem::path& region) {
    std::string bytes = test::RandomBytes(kRegionBytes, 7);
    test::WriteHostFile(region, bytes);
    return bytes;
}

struct ReadCase {
    const char* name;
    std::uint64_t offset;
    std::uint32_t count;
    // What the read answers: the bytes from `offset` that the region holds, at most `count`.
    std::int64_t answer;
};

class DirectMediumTest : public testing::TestWithParam<ReadCase> {};

// Whatever the file system (direct or through the cache), a read gives the region's own bytes and
// stops at its end.
TEST_P(DirectMediumTest, ReadsTheRegionsBytesUpToItsEnd) {
    const QTemporaryDir folder;
    const std::filesystem::path path = folder.path().toStdString() + "/region.bin";
    const std::string bytes = MakeRegion(path);
    const UniqueFd region(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    DirectMedium reader(region.Get());
    const AlignedBuffer buffer(AlignedUp(GetParam().count));

    const std::int64_t answer = reader.Read(buffer, GetParam().count, GetParam().offset);

    ASSERT_EQ(answer, GetParam().answer);
    EXPECT_EQ(std::string(buffer.Data(), static_cast<std::size_t>(answer)),
              bytes.substr(std::min<std::size_t>(GetParam().offset, bytes.size()), static_cast<std::size_t>(answer)));
}

INSTANTIATE_TEST_SUITE_P(
    Reads, DirectMediumTest,
    testing::Values(ReadCase{"Start", 0, kMebibyte, kMebibyte},
                    ReadCase{"Middle", kMebibyte, 2 * kMebibyte, 2 * kMebibyte},
                    ReadCase{"ShortAtTheEnd", 3 * kMebibyte, kMebibyte, 123},
                    ReadCase{"PastTheEnd", 4 * kMebibyte, kMebibyte, 0}),
    [](const testing::TestParamInfo<ReadCase>& info) { return info.param.name; });

struct WriteCase {
    const char* name;
    std::uint64_t offset;
    std::uint32_t count;
    // How far the bytes start past an aligned address.
    std::size_t dataOffset;
};

class DirectMediumWriteTest : public testing::TestWithParam<WriteCase> {};

// Past the cache where all is aligned, through it otherwise: the region holds the bytes given at
// their place, and nothing else of it changes.
TEST_P(DirectMediumWriteTest, WritesExactlyTheBytesGivenAtTheirPlace) {
    const WriteCase& c = GetParam();
    const QTemporaryDir folder;
    const std::filesystem::path path = folder.path().toStdString() + "/region.bin";
    std::string expected = MakeRegion(path);
    const std::string data = test::RandomBytes(c.count, 9);
    const AlignedBuffer buffer(c.dataOffset + c.count);
    std::copy(data.begin(), data.end(), buffer.Data() + c.dataOffset);
    const UniqueFd region(::open(path.c_str(), O_RDWR | O_CLOEXEC));

    ASSERT_TRUE(DirectMedium(region.Get()).Write(buffer.Data() + c.dataOffset, c.count, c.offset));

    expected.replace(c.offset, c.count, data);
    EXPECT_TRUE(test::ReadHostFile(path) == expected);
}

INSTANTIATE_TEST_SUITE_P(
    Writes, DirectMediumWriteTest,
    testing::Values(WriteCase{"Aligned", kMebibyte, 2 * kMebibyte, 0},
                    WriteCase{"ShortLastBlock", 2 * kMebibyte, kMebibyte + 123, 0},
                    WriteCase{"OffsetOffABlock", 100, 4096, 0},
                    WriteCase{"DataOffAPage", kMebibyte, 4096, 1}),
    [](const testing::TestParamInfo<WriteCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::shared
