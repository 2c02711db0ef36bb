#include "backend/shared/HexOrDecimal.h"

#include <gtest/gtest.h>

#include <optional>

namespace velkor::shared {
namespace {

struct LanguageCase {
    const char* text;
    std::optional<std::uint16_t> id;
};

class LanguageIdTest : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(LanguageIdTest, ReadsHexOrDecimal) { EXPECT_EQ(ParseLanguageId(GetParam().text), GetParam().id); }

INSTANTIATE_TEST_SUITE_P(Texts, LanguageIdTest,
                         ::testing::Values(LanguageCase{"0x0804", 0x0804}, LanguageCase{"0X0409", 0x0409},
                                           LanguageCase{"2052", 0x0804}, LanguageCase{"65535", 0xFFFF},
                                           LanguageCase{"65536", std::nullopt}, LanguageCase{"0x", std::nullopt},
                                           LanguageCase{"", std::nullopt}, LanguageCase{"0x0x12", std::nullopt},
                                           LanguageCase{"12ab", std::nullopt}, LanguageCase{"-1", std::nullopt}));

}  // namespace
}  // namespace velkor::shared
