#include "backend/shared/QtBitmapLoader.h"

#include "backend/shared/QtBitmap.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>

namespace velkor::shared {
namespace {

// Where the file and information headers keep what the completeness check needs.
constexpr qsizetype kPixelOffsetField = 10;
constexpr qsizetype kHeaderSizeField = 14;
constexpr qsizetype kCoreBitsPerPixelField = 24;
constexpr qsizetype kBitsPerPixelField = 28;
constexpr qsizetype kCompressionField = 30;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kUncompressed = 0;
constexpr std::uint32_t kBitFields = 3;

// Bytes beyond the end count as zero; the fields are read only once Qt has decoded the headers.
std::uint64_t LittleEndian(const QByteArray& bytes, qsizetype offset, int byteCount) {
    std::uint64_t value = 0;
    for (qsizetype at = std::min(offset + byteCount, bytes.size()) - 1; at >= offset; --at) {
        value = (value << 8) | static_cast<std::uint8_t>(bytes[at]);
    }
    return value;
}

// Qt fills the rows missing from a file cut short and reports success; the device refuses such a
// file. Compressed rows carry their own lengths and are left to Qt.
bool PixelRowsFit(const QByteArray& bytes, const QImage& image) {
    const bool coreHeader = LittleEndian(bytes, kHeaderSizeField, 4) == kCoreHeaderSize;
    const std::uint64_t bitsPerPixel =
        LittleEndian(bytes, coreHeader ? kCoreBitsPerPixelField : kBitsPerPixelField, 2);
    const std::uint64_t compression = coreHeader ? kUncompressed : LittleEndian(bytes, kCompressionField, 4);
    if (compression != kUncompressed && compression != kBitFields) {
        return true;
    }
    // Rows are padded to whole 32-bit words.
    const std::uint64_t rowBytes = (static_cast<std::uint64_t>(image.width()) * bitsPerPixel + 31) / 32 * 4;
    const std::uint64_t pixelBytes = rowBytes * static_cast<std::uint64_t>(image.height());
    return LittleEndian(bytes, kPixelOffsetField, 4) + pixelBytes <= static_cast<std::uint64_t>(bytes.size());
}

QImage DecodeBitmap(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    // Only the BMP reader is asked: a PNG or JPEG named .bmp is not a bitmap the device loads.
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

}  // namespace

QtBitmapLoader::QtBitmapLoader(platform::FileSystem& files, ErrorState& errors) : files_(files), errors_(errors) {}

std::unique_ptr<platform::Bitmap> QtBitmapLoader::LoadDIBitmap(std::u16string_view path) {
    const std::optional<QByteArray> bytes = ReadFile(path);
    if (!bytes) {
        return nullptr;
    }
    QImage image = DecodeBitmap(*bytes);
    if (image.isNull() || !PixelRowsFit(*bytes, image)) {
        errors_.Fail(platform::error::kInvalidData);
        return nullptr;
    }
    return std::make_unique<QtBitmap>(std::move(image));
}

std::optional<QByteArray> QtBitmapLoader::ReadFile(std::u16string_view path) {
    const std::unique_ptr<platform::File> file = files_.OpenFile(path, platform::FileMode::Read);
    if (!file) {
        return std::nullopt;
    }
    const std::uint64_t length = file->Length();
    if (length > kMaxFileSize) {
        errors_.Fail(platform::error::kInvalidData);
        return std::nullopt;
    }
    QByteArray bytes(static_cast<qsizetype>(length), Qt::Uninitialized);
    qsizetype filled = 0;
    std::uint32_t bytesRead = 0;
    // A file that shrinks meanwhile yields what is there; one that grows is read to its old length.
    while (filled < bytes.size()) {
        if (!file->Read(bytes.data() + filled, static_cast<std::uint32_t>(bytes.size() - filled), bytesRead)) {
            return std::nullopt;
        }
        if (bytesRead == 0) {
            break;
        }
        filled += bytesRead;
    }
    bytes.truncate(filled);
    return bytes;
}

}  // namespace velkor::shared
