#include "backend/shared/storage/FatLayout.h"

#include <gtest/gtest.h>

namespace velkor::shared {
namespace {

struct SizingCase {
    const char* name;
    FatParameters fat;  // sectorsPerFat aside
    std::uint32_t fatBits;
    std::uint64_t sectorsPerFat;
};

class SectorsPerFatTest : public ::testing::TestWithParam<SizingCase> {};

TEST_P(SectorsPerFatTest, TheFatHoldsTheClustersItLeaves) {
    EXPECT_EQ(FormatterSectorsPerFat(GetParam().fat, GetParam().fatBits), GetParam().sectorsPerFat);
}

// 16000 sectors with 4 sectors a cluster: 3991 clusters at most, whose 12-bit entries fill 12
// sectors, which leave 3985 clusters, still 12 sectors.
INSTANTIATE_TEST_SUITE_P(
    Volumes, SectorsPerFatTest,
    ::testing::Values(SizingCase{"NewDevicesFat12", {512, 4, 1, 2, 512, 16000, 0xF8, 0, 32, 2, 0}, 12, 12},
                      // Sized for all 1031 clusters the FAT needs 4 sectors; 3 hold the 1021 that are left.
                      SizingCase{"SmallerThanForAllSectors", {512, 4, 1, 2, 512, 4126, 0xF8, 0, 32, 2, 0}, 12, 3},
                      SizingCase{"Fat16", {512, 2, 1, 2, 512, 70000, 0xF8, 0, 32, 2, 0}, 16, 137},
                      // 1563 sectors at first, then 1538, then 1539 for 196889 clusters.
                      SizingCase{"Fat32", {512, 1, 1, 2, 512, 200000, 0xF8, 0, 32, 2, 0}, 32, 1539},
                      SizingCase{"NoRoomForClusters", {512, 4, 40, 2, 512, 60, 0xF8, 0, 32, 2, 0}, 12, 1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor::shared
