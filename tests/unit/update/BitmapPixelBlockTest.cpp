#include "update/BitmapPixelBlock.h"

#include "support/BitmapBytes.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>

namespace velkor::update {
namespace {

using test::BitmapFile;
using test::With;
using test::BitmapFields;
using test::Masks;

constexpr std::int32_t kMaxSide = std::numeric_limits<std::int32_t>::max();

struct Expected {
    std::uint64_t offset;
    std::uint32_t bytes;
    std::size_t rowBytes;
};

struct LayoutCase {
    const char* name;
    BitmapFields fields;
    std::optional<Expected> block;
    // The file's real length, when it differs from the bytes made.
    std::optional<std::uint64_t> fileLength = std::nullopt;
    // Header bytes cut off after this many, as from a short file.
    std::optional<std::size_t> headerBytes = std::nullopt;
};

class FindPixelBlockTest : public testing::TestWithParam<LayoutCase> {};

TEST_P(FindPixelBlockTest, TrustsOnlyHeadersThatFitTheFile) {
    const LayoutCase& c = GetParam();
    const std::string file = BitmapFile(c.fields);
    const std::size_t headerBytes = std::min({file.size(), kBitmapHeaderBytes, c.headerBytes.value_or(file.size())});
    const std::span headers(reinterpret_cast<const std::uint8_t*>(file.data()), headerBytes);

    const std::optional<PixelBlock> block = FindPixelBlock(headers, c.fileLength.value_or(file.size()));

    ASSERT_EQ(block.has_value(), c.block.has_value());
    if (block) {
        EXPECT_EQ(block->offset, c.block->offset);
        EXPECT_EQ(block->bytes, c.block->bytes);
        EXPECT_EQ(block->rows.rowBytes, c.block->rowBytes);
        EXPECT_EQ(block->rows.width, c.fields.width);
        EXPECT_EQ(block->rows.bitsPerPixel, c.fields.bitsPerPixel);
    }
}

const std::string kRows24(2 * 12, '\0');  // 3 x 2 pixels, 9 bytes a row filled to 12
const std::string kRows16(2 * 8, '\0');   // 3 x 2 pixels, 6 bytes a row filled to 8

// 3 x 2 pixels with the rows the depth needs; masks or gaps follow the headers when given.
BitmapFields Fields(std::uint16_t bitsPerPixel, std::uint32_t compression = 0, std::string afterHeaders = {}) {
    BitmapFields fields;
    fields.width = 3;
    fields.height = 2;
    fields.bitsPerPixel = bitsPerPixel;
    fields.compression = compression;
    fields.afterHeaders = std::move(afterHeaders);
    fields.pixels = bitsPerPixel == 16 ? kRows16 : kRows24;
    return fields;
}

BitmapFields Plain24() { return Fields(24); }

INSTANTIATE_TEST_SUITE_P(
    Headers, FindPixelBlockTest,
    testing::Values(
        LayoutCase{"TrueColour", Plain24(), Expected{54, 24, 12}},
        LayoutCase{"HighColour", Fields(16), Expected{54, 16, 8}},
        LayoutCase{"HighColour555Masks", Fields(16, 3, Masks(0x7C00, 0x03E0, 0x001F)), Expected{66, 16, 8}},
        LayoutCase{"HighColour565Masks", Fields(16, 3, Masks(0xF800, 0x07E0, 0x001F)), std::nullopt},
        LayoutCase{"MasksMissing", Fields(16, 3), std::nullopt},
        LayoutCase{"LargerInfoHeader", With(Plain24(), [](BitmapFields& s) { s.infoSize = 124; }),
                   Expected{138, 24, 12}},
        LayoutCase{"GapBeforeThePixels", Fields(24, 0, std::string(10, '\0')), Expected{64, 24, 12}},
        LayoutCase{"NotABitmap", With(Plain24(), [](BitmapFields& s) { s.pixels = "x"; }), std::nullopt, std::nullopt, 1},
        LayoutCase{"ShortInfoHeader", Plain24(), std::nullopt, std::nullopt, 53},
        LayoutCase{"CoreHeader", With(Plain24(), [](BitmapFields& s) { s.infoSize = 12; }), std::nullopt},
        LayoutCase{"ZeroWidth", With(Plain24(), [](BitmapFields& s) { s.width = 0; }), std::nullopt},
        LayoutCase{"NegativeWidth", With(Plain24(), [](BitmapFields& s) { s.width = -3; }), std::nullopt},
        LayoutCase{"ZeroHeight", With(Plain24(), [](BitmapFields& s) { s.height = 0; }), std::nullopt},
        LayoutCase{"TopDownRows", With(Plain24(), [](BitmapFields& s) { s.height = -2; }), std::nullopt},
        LayoutCase{"PaletteColours", With(Plain24(), [](BitmapFields& s) { s.bitsPerPixel = 8; }), std::nullopt},
        LayoutCase{"FourBytePixels", With(Plain24(), [](BitmapFields& s) { s.bitsPerPixel = 32; }), std::nullopt},
        LayoutCase{"RunLengthCompressed", With(Plain24(), [](BitmapFields& s) { s.compression = 1; }), std::nullopt},
        LayoutCase{"OffsetInsideTheHeaders", With(Plain24(), [](BitmapFields& s) { s.pixelOffset = 50; }),
                   std::nullopt},
        LayoutCase{"OffsetPastTheEnd", With(Plain24(), [](BitmapFields& s) { s.pixelOffset = 1000; }), std::nullopt},
        LayoutCase{"BlockPastTheEnd", Plain24(), std::nullopt, 54 + 23},
        LayoutCase{"RowsThatOverflow",
                   With(Plain24(), [](BitmapFields& s) { s.width = kMaxSide, s.height = kMaxSide; }), std::nullopt},
        LayoutCase{"BlockBeyondFourGigabytes",
                   With(Plain24(), [](BitmapFields& s) { s.width = kMaxSide, s.height = 4; }), std::nullopt,
                   std::uint64_t{1} << 40}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::update
