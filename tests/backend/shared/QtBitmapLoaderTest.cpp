#include "backend/shared/QtBitmapLoader.h"
#include "platform/ErrorCodes.h"
#include "backend/sim/SimPlatform.h"
#include "support/BitmapBytes.h"
#include "backend/sim/TempDevice.h"

#include <QBuffer>
#include <QImage>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace velkor::sim {
namespace {

namespace error = platform::error;
namespace fs = std::filesystem;
using test::TempDevice;

// An uncompressed Windows bitmap of black pixels; 8-bit ones get a grey palette.
std::string BitmapFile(int width, int height, int bitsPerPixel) {
    velkor::test::BitmapFields fields;
    fields.width = width;
    fields.height = height;
    fields.bitsPerPixel = static_cast<std::uint16_t>(bitsPerPixel);
    for (std::uint32_t grey = 0; bitsPerPixel == 8 && grey < 256; ++grey) {
        fields.afterHeaders += std::string(3, static_cast<char>(grey)) + '\0';  // blue, green, red, unused
    }
    const int rowBytes = (width * bitsPerPixel / 8 + 3) / 4 * 4;
    fields.pixels = std::string(static_cast<std::size_t>(rowBytes * height), '\0');
    return velkor::test::BitmapFile(fields);
}

std::string PngFile() {
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    QImage(4, 4, QImage::Format_RGB32).save(&png, "PNG");
    return png.data().toStdString();
}

// A device with the folder \Images, holding logo.bmp when there are bytes for it.
class BitmapDevice {
public:
    explicit BitmapDevice(const std::optional<std::string>& bytes) {
        fs::create_directory(temp_.Root() / "Images");
        if (bytes) {
            temp_.Write("root/Images/logo.bmp", *bytes);
        }
        sim_.emplace(temp_.Dir());
    }

    platform::BitmapLoader& Loader() { return sim_->platform().bitmapLoader; }
    std::uint32_t LastError() { return sim_->platform().system.GetLastError(); }
    fs::path Logo() const { return temp_.Root() / "Images/logo.bmp"; }

private:
    TempDevice temp_;
    std::optional<SimPlatform> sim_;
};

struct BitmapCase {
    const char* name;
    std::optional<std::string> bytes;
    std::uint32_t error;
    int width = 0;
    int height = 0;
};

class BitmapLoaderTest : public ::testing::TestWithParam<BitmapCase> {};

TEST_P(BitmapLoaderTest, LoadsWindowsBitmapsOnly) {
    const BitmapCase& c = GetParam();
    BitmapDevice device(c.bytes);

    const std::unique_ptr<platform::Bitmap> bitmap = device.Loader().LoadDIBitmap(u"\\IMAGES\\Logo.BMP");

    EXPECT_EQ(device.LastError(), c.error);
    ASSERT_EQ(bitmap != nullptr, c.error == error::kSuccess);
    if (bitmap) {
        EXPECT_EQ(bitmap->Width(), c.width);
        EXPECT_EQ(bitmap->Height(), c.height);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, BitmapLoaderTest,
    ::testing::Values(BitmapCase{"TwentyFourBits", BitmapFile(5, 3, 24), error::kSuccess, 5, 3},
                      BitmapCase{"SixteenBits", BitmapFile(3, 7, 16), error::kSuccess, 3, 7},
                      BitmapCase{"EightBits", BitmapFile(9, 2, 8), error::kSuccess, 9, 2},
                      BitmapCase{"NotABitmap", "just some text", error::kInvalidData},
                      BitmapCase{"TruncatedPixels", BitmapFile(64, 64, 24).substr(0, 1000), error::kInvalidData},
                      BitmapCase{"LastRowPaddingMissing", BitmapFile(5, 3, 24).substr(0, 101), error::kInvalidData},
                      BitmapCase{"TruncatedHeader", BitmapFile(5, 3, 24).substr(0, 30), error::kInvalidData},
                      BitmapCase{"Empty", "", error::kInvalidData},
                      BitmapCase{"Missing", std::nullopt, error::kFileNotFound},
                      BitmapCase{"PngNamedBmp", PngFile(), error::kInvalidData}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(QtBitmapLoaderTest, RefusesAFileBeyondTheCapUnread) {
    // A bitmap that would decode, padded (sparsely) beyond the cap.
    BitmapDevice device(BitmapFile(64, 64, 24));
    fs::resize_file(device.Logo(), shared::QtBitmapLoader::kMaxFileSize + 1);

    EXPECT_FALSE(device.Loader().LoadDIBitmap(u"\\Images\\logo.bmp"));
    EXPECT_EQ(device.LastError(), error::kInvalidData);
}

}  // namespace
}  // namespace velkor::sim
