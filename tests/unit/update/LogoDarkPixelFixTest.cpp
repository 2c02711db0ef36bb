#include "update/LogoDarkPixelFix.h"

#include "support/BitmapBytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velkor::update {
namespace {

using test::Words16;

struct PixelCase {
    const char* name;
    PixelRows rows;
    std::string before;
    std::string after;
};

class LogoDarkPixelFixTest : public testing::TestWithParam<PixelCase> {};

TEST_P(LogoDarkPixelFixTest, LiftsOnlyDarkGreyPixelsWithinEachRow) {
    std::vector<std::uint8_t> block(GetParam().before.begin(), GetParam().before.end());
    LogoDarkPixelFix(block, GetParam().rows);
    EXPECT_EQ(std::string(block.begin(), block.end()), GetParam().after);
}

// Pixels are blue, green, red; every row ends in fill bytes that look like black and must stay.
INSTANTIATE_TEST_SUITE_P(
    Depths, LogoDarkPixelFixTest,
    testing::Values(
        PixelCase{"TrueColourGreys",
                  {3, 24, 12},
                  std::string("\0\0\0\7\7\7\3\3\4\0\0\0", 12) + std::string("\3\4\3\1\1\1\7\7\7\0\0\0", 12),
                  std::string("\10\10\10\10\10\10\3\3\4\0\0\0", 12) + std::string("\3\4\3\10\10\10\10\10\10\0\0\0", 12)},
        PixelCase{"TrueColourAtTheLimitStays", {2, 24, 8}, std::string("\10\10\10\0\0\10\0\0", 8),
                  std::string("\10\10\10\0\0\10\0\0", 8)},
        PixelCase{"HighColourBlack", {3, 16, 8}, Words16({0x0000, 0x8000, 0x001F, 0x0000}),
                  Words16({0x0421, 0x0421, 0x001F, 0x0000})},
        PixelCase{"HighColourDarkButNotBlackStays", {2, 16, 4}, Words16({0x0001, 0x0400}), Words16({0x0001, 0x0400})},
        PixelCase{"PartialLastRowUntouched", {1, 24, 4}, std::string("\0\0\0\0\0\0", 6),
                  std::string("\10\10\10\0\0\0", 6)},
        PixelCase{"PaletteIndicesUntouched", {4, 8, 4}, std::string(4, '\0'), std::string(4, '\0')},
        PixelCase{"FourBytePixelsUntouched", {1, 32, 4}, std::string(4, '\0'), std::string(4, '\0')}),
    [](const testing::TestParamInfo<PixelCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::update
