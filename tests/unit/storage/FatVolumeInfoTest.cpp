#include "storage/FatVolumeInfo.h"

#include "platform/LittleEndian.h"

#include <gtest/gtest.h>

#include <array>

namespace velkor::storage {
namespace {

using platform::WriteLittleEndian;

struct ReplyCase {
    const char* name;
    std::uint16_t smallTotal;
    std::uint32_t largeTotal;
    std::uint32_t totalSectors;
};

class ReadParameterBlockTest : public testing::TestWithParam<ReplyCase> {};

// Every field has a value of its own, so a field read from another's place shows.
TEST_P(ReadParameterBlockTest, TakesEachFieldFromItsPlace) {
    std::array<std::uint8_t, 360> reply{};
    WriteLittleEndian(reply, 13, 512, 2);
    WriteLittleEndian(reply, 15, 4, 1);
    WriteLittleEndian(reply, 16, 3, 2);
    WriteLittleEndian(reply, 18, 2, 1);
    WriteLittleEndian(reply, 19, 0x1234, 2);
    WriteLittleEndian(reply, 21, GetParam().smallTotal, 2);
    WriteLittleEndian(reply, 23, 0xF8, 1);
    WriteLittleEndian(reply, 24, 12, 2);
    WriteLittleEndian(reply, 26, 63, 2);
    WriteLittleEndian(reply, 28, 255, 2);
    WriteLittleEndian(reply, 30, 0x01020304, 4);
    WriteLittleEndian(reply, 34, GetParam().largeTotal, 4);
    std::array<std::uint8_t, 16> freeSpace{};
    WriteLittleEndian(freeSpace, 8, 3000, 4);
    WriteLittleEndian(freeSpace, 12, 3985, 4);
    FatVolumeInfo info;

    ReadParameterBlock(reply, info);
    ReadFreeSpace(freeSpace, info);

    const FatVolumeInfo expected{0xF8, 512, 4, GetParam().totalSectors, 3, 0x01020304, 63, 255, 12, 2, 0x1234,
                                 3985, 3000};
    EXPECT_EQ(info, expected);
}

INSTANTIATE_TEST_SUITE_P(TotalSectors, ReadParameterBlockTest,
                         testing::Values(ReplyCase{"SmallForm", 16000, 0, 16000},
                                         ReplyCase{"LargeFormWhenSmallIsZero", 0, 100000, 100000},
                                         ReplyCase{"SmallFormWinsOverLarge", 16000, 100000, 16000}),
                         [](const testing::TestParamInfo<ReplyCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::storage
