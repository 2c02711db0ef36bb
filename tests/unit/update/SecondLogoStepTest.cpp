#include "update/SecondLogoStep.h"

#include "backend/sim/SimPlatform.h"
#include "support/BitmapBytes.h"
#include "backend/sim/TempDevice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

namespace velkor::update {
namespace {

namespace fs = std::filesystem;
using test::BitmapFile;
using test::With;
using test::BitmapFields;
using test::Masks;
using test::Words16;

constexpr std::u16string_view kLogo = u"\\StorageCard\\logo2.bmp";
const fs::path kCopy = "root/VKRFlash/$MSD$/Logo/Logo.bmp";

// The screen is 3 x 2 pixels, so every row of 24 or 16 bits ends in fill bytes.
std::string SmallScreenDevice(std::string_view faults) {
    return R"({"screen": {"width": 3, "height": 2}, "languageId": "0x0409", "faults": )" + std::string(faults) + "}";
}

// Rows of blue-green-red pixels (0,0,0) (7,7,7) (3,3,4) and (1,1,1) (9,9,9) (0,0,0), then as lifted.
const std::string kDarkRows24("\0\0\0\7\7\7\3\3\4\0\0\0\1\1\1\11\11\11\0\0\0\0\0\0", 24);
const std::string kLiftedRows24("\10\10\10\10\10\10\3\3\4\0\0\0\10\10\10\11\11\11\10\10\10\0\0\0", 24);
const std::string kDarkRows16 = Words16({0x0000, 0x8000, 0x001F, 0x0000, 0x7FFF, 0x0000, 0x0421, 0x0000});
const std::string kLiftedRows16 = Words16({0x0421, 0x0421, 0x001F, 0x0000, 0x7FFF, 0x0421, 0x0421, 0x0000});

BitmapFields Logo(std::int32_t width, std::int32_t height, std::uint16_t bitsPerPixel, std::string pixels) {
    BitmapFields fields;
    fields.width = width;
    fields.height = height;
    fields.bitsPerPixel = bitsPerPixel;
    fields.pixels = std::move(pixels);
    return fields;
}

const BitmapFields kTrueColour = Logo(3, 2, 24, kDarkRows24);
const BitmapFields kHighColour = Logo(3, 2, 16, kDarkRows16);

enum class Folders { Logo, MsdOnly, None };

struct LogoCase {
    const char* name;
    std::optional<std::string> logo;  // nothing: no file at kLogo
    std::optional<std::string> copy;  // nothing: no copy may be made
    Folders folders = Folders::MsdOnly;
    std::u16string path = std::u16string(kLogo);
    std::string_view faults = "{}";
};

std::string File(const BitmapFields& fields) { return BitmapFile(fields); }

// The bitmap as it should be copied: its headers and the given rows.
std::string Lifted(BitmapFields fields, std::string rows) {
    fields.pixels = std::move(rows);
    return BitmapFile(fields);
}

class UpdateSecondLogoTest : public testing::TestWithParam<LogoCase> {};

TEST_P(UpdateSecondLogoTest, CopiesAScreenSizedLogoAndLiftsItsBlacks) {
    const LogoCase& c = GetParam();
    const sim::test::TempDevice device;
    device.Write("device.json", SmallScreenDevice(c.faults));
    fs::create_directories(device.Root() / "StorageCard");
    if (c.logo) {
        device.Write("root/StorageCard/logo2.bmp", *c.logo);
    }
    if (c.folders != Folders::None) {
        fs::create_directories(device.Root() / (c.folders == Folders::Logo ? "VKRFlash/$MSD$/Logo" : "VKRFlash/$MSD$"));
    }
    sim::SimPlatform sim(device.Dir());

    EXPECT_EQ(UpdateSecondLogo(sim.platform(), c.path), c.copy ? 1 : 0);

    if (c.copy) {
        EXPECT_EQ(device.Read(kCopy), *c.copy);
    } else {
        EXPECT_FALSE(fs::exists(device.Dir() / kCopy));
    }
    EXPECT_EQ(fs::exists(device.Dir() / kCopy.parent_path()), c.copy.has_value() || c.folders == Folders::Logo)
        << "the folder is made only on the way to a copy";
    if (c.logo) {
        EXPECT_EQ(device.Read("root/StorageCard/logo2.bmp"), *c.logo) << "the source stays as it was";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Logos, UpdateSecondLogoTest,
    testing::Values(
        LogoCase{"TrueColour", File(kTrueColour), Lifted(kTrueColour, kLiftedRows24)},
        LogoCase{"HighColour", File(kHighColour), Lifted(kHighColour, kLiftedRows16)},
        LogoCase{"HighColour555Masks",
                 File(With(kHighColour, [](BitmapFields& s) { s.compression = 3, s.afterHeaders = Masks(0x7C00, 0x3E0, 0x1F); })),
                 Lifted(With(kHighColour, [](BitmapFields& s) { s.compression = 3, s.afterHeaders = Masks(0x7C00, 0x3E0, 0x1F); }),
                        kLiftedRows16)},
        LogoCase{"HighColour565Unchanged",
                 File(With(kHighColour, [](BitmapFields& s) { s.compression = 3, s.afterHeaders = Masks(0xF800, 0x7E0, 0x1F); })),
                 File(With(kHighColour, [](BitmapFields& s) { s.compression = 3, s.afterHeaders = Masks(0xF800, 0x7E0, 0x1F); }))},
        LogoCase{"LargerInfoHeader", File(With(kTrueColour, [](BitmapFields& s) { s.infoSize = 124; })),
                 Lifted(With(kTrueColour, [](BitmapFields& s) { s.infoSize = 124; }), kLiftedRows24)},
        LogoCase{"PaletteUnchanged",
                 File(With(Logo(3, 2, 8, std::string(8, '\0')), [](BitmapFields& s) { s.afterHeaders = std::string(1024, '\0'); })),
                 File(With(Logo(3, 2, 8, std::string(8, '\0')), [](BitmapFields& s) { s.afterHeaders = std::string(1024, '\0'); }))},
        LogoCase{"FourBytePixelsUnchanged", File(Logo(3, 2, 32, std::string(24, '\0'))),
                 File(Logo(3, 2, 32, std::string(24, '\0')))},
        LogoCase{"LogoFolderAlreadyThere", File(kTrueColour), Lifted(kTrueColour, kLiftedRows24), Folders::Logo},
        LogoCase{"NarrowerThanTheScreen", File(Logo(2, 2, 24, std::string(16, '\0'))), std::nullopt},
        LogoCase{"WiderThanTheScreen", File(Logo(4, 2, 24, std::string(24, '\0'))), std::nullopt},
        LogoCase{"LowerThanTheScreen", File(Logo(3, 1, 24, std::string(12, '\0'))), std::nullopt},
        LogoCase{"HigherThanTheScreen", File(Logo(3, 3, 24, std::string(36, '\0'))), std::nullopt},
        LogoCase{"NoStoreFolder", File(kTrueColour), std::nullopt, Folders::None},
        LogoCase{"NotABitmap", "hello", std::nullopt},
        LogoCase{"MissingFile", std::nullopt, std::nullopt},
        LogoCase{"EmptyPath", File(kTrueColour), std::nullopt, Folders::MsdOnly, u""},
        LogoCase{"CopyFails", File(kTrueColour), std::nullopt, Folders::Logo, std::u16string(kLogo),
                 R"({"fileSizeLimit": 10})"},
        LogoCase{"CopyNotOpenedForTheRewriteStaysAsCopied", File(kTrueColour), File(kTrueColour), Folders::MsdOnly,
                 std::u16string(kLogo), R"({"openFails": ["\\VKRFlash\\$MSD$\\Logo\\Logo.bmp"]})"}),
    [](const testing::TestParamInfo<LogoCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::update
