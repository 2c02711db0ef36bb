#include "backend/shared/storage/BootSector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>

namespace velkor::shared {
namespace {

using Sector = std::array<std::uint8_t, kBootSectorBytes>;

// A FAT12 boot sector, as far as the reader looks, for 16000 sectors of 512 bytes: 4 sectors a cluster,
// 1 reserved sector, 2 FATs of 12 sectors, 512 root entries, media 0xF8, 32 sectors a track,
// 2 heads, no hidden sectors. `change` alters bytes by their offset in the sector.
Sector MakeSector(std::initializer_list<std::pair<std::size_t, std::uint8_t>> change = {}) {
    Sector sector{};
    constexpr std::array<std::uint8_t, 25> kBlock{0x00, 0x02, 0x04, 0x01, 0x00, 0x02, 0x00, 0x02, 0x80,
                                                  0x3E, 0xF8, 0x0C, 0x00, 0x20, 0x00, 0x02, 0x00};
    std::copy(kBlock.begin(), kBlock.end(), sector.begin() + kBootSectorParameterBlockOffset);
    sector[510] = 0x55;
    sector[511] = 0xAA;
    for (const auto& [offset, value] : change) {
        sector[offset] = value;
    }
    return sector;
}

struct BootSectorCase {
    const char* name;
    Sector sector;
    std::optional<FatParameters> fat;
};

class BootSectorTest : public ::testing::TestWithParam<BootSectorCase> {};

TEST_P(BootSectorTest, ReadsTheParametersOfAFatBootSectorOnly) {
    EXPECT_EQ(ReadBootSector(GetParam().sector), GetParam().fat);
}

INSTANTIATE_TEST_SUITE_P(
    Sectors, BootSectorTest,
    ::testing::Values(BootSectorCase{"Fat12", MakeSector(),
                                     FatParameters{512, 4, 1, 2, 512, 16000, 0xF8, 12, 32, 2, 0}},
                      // Past 65535 sectors the 16-bit total is 0 and the 32-bit one at offset 32 counts them.
                      BootSectorCase{"LargeTotal", MakeSector({{19, 0}, {20, 0}, {32, 0x70}, {33, 0x11}, {34, 0x01}}),
                                     FatParameters{512, 4, 1, 2, 512, 70000, 0xF8, 12, 32, 2, 0}},
                      BootSectorCase{"NoSignature", MakeSector({{511, 0x00}}), std::nullopt},
                      BootSectorCase{"NoBytesPerSector", MakeSector({{11, 0}, {12, 0}}), std::nullopt},
                      // FAT32 states its FAT size where the volume parameters reply has no room.
                      BootSectorCase{"Fat32", MakeSector({{22, 0}}), std::nullopt}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::shared
