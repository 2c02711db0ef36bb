#include "platform/StringArray.h"

#include <gtest/gtest.h>

namespace velkor::platform {
namespace {

struct GrowthCase {
    std::size_t size;
    std::size_t step;
};

class StringArrayGrowthTest : public testing::TestWithParam<GrowthCase> {};

// An eighth and no cap: a fixed step would make a long list quadratic to build.
TEST_P(StringArrayGrowthTest, GrowsByAnEighthAndAtLeastFour) {
    EXPECT_EQ(StringArray::GrowthStep(GetParam().size), GetParam().step);
}

INSTANTIATE_TEST_SUITE_P(Sizes, StringArrayGrowthTest,
                         testing::Values(GrowthCase{0, 4}, GrowthCase{31, 4}, GrowthCase{40, 5}, GrowthCase{800, 100},
                                         GrowthCase{8192, 1024}, GrowthCase{100000, 12500}));

TEST(StringArray, AppendsInOrderAndGrowsInSteps) {
    StringArray list;
    std::vector<std::size_t> capacities;
    for (int i = 0; i < 45; ++i) {
        list.Append(std::u16string(1, char16_t(u'a' + i % 26)));
        if (capacities.empty() || capacities.back() != list.Capacity()) {
            capacities.push_back(list.Capacity());
        }
    }
    EXPECT_EQ(list.Count(), 45u);
    EXPECT_EQ(list.At(0), u"a");
    EXPECT_EQ(list.At(27), u"b");
    // 4 at a time up to 32 elements, then an eighth of the size: 32 + 4, 36 + 4, 40 + 5, 45 + 5.
    EXPECT_EQ(capacities, (std::vector<std::size_t>{4, 8, 12, 16, 20, 24, 28, 32, 36, 40, 45}));
}

TEST(StringArray, IndexPastTheEndIsRefused) {
    StringArray list;
    list.Append(u"only");
    EXPECT_THROW(list.At(1), std::out_of_range);
}

}  // namespace
}  // namespace velkor::platform
