#include "update/SecondLogoStep.h"

#include "update/BitmapPixelBlock.h"
#include "update/LogoDarkPixelFix.h"

#include <array>
#include <new>
#include <vector>

namespace velkor::update {
namespace {

bool Exists(platform::FileSystem& fileSystem, std::u16string_view path) {
    return fileSystem.GetAttributes(path) != platform::kInvalidFileAttributes;
}

bool IsScreenSized(const platform::Bitmap& bitmap, const platform::System& system) {
    const platform::ScreenSize screen = system.GetScreenSize();
    return bitmap.Width() == screen.width && bitmap.Height() == screen.height;
}

bool EnsureFolder(platform::FileSystem& fileSystem, std::u16string_view folder) {
    if (!Exists(fileSystem, folder)) {
        fileSystem.CreateDirectory(folder);
    }
    return Exists(fileSystem, folder);
}

// Reads until `buffer` is full or the file ends; the number of bytes read.
std::size_t ReadUpTo(platform::File& file, std::span<std::uint8_t> buffer) {
    std::size_t total = 0;
    std::uint32_t bytesRead = 0;
    while (total < buffer.size() &&
           file.Read(buffer.data() + total, static_cast<std::uint32_t>(buffer.size() - total), bytesRead) &&
           bytesRead > 0) {
        total += bytesRead;
    }
    return total;
}

std::optional<PixelBlock> ReadPixelBlockLayout(platform::File& file) {
    std::array<std::uint8_t, kBitmapHeaderBytes> headers{};
    const std::size_t headerBytes = ReadUpTo(file, headers);
    return FindPixelBlock(std::span(headers.data(), headerBytes), file.Length());
}

}  // namespace

int UpdateSecondLogo(platform::Platform& platform, std::u16string_view logoPath) {
    platform::FileSystem& fileSystem = platform.fileSystem;
    if (logoPath.empty() || !Exists(fileSystem, logoPath)) {
        return 0;
    }
    const std::unique_ptr<platform::Bitmap> bitmap = platform.bitmapLoader.LoadDIBitmap(logoPath);
    if (!bitmap || !IsScreenSized(*bitmap, platform.system) || !EnsureFolder(fileSystem, kSecondLogoFolder) ||
        !fileSystem.CopyFile(logoPath, kSecondLogoCopy)) {
        return 0;
    }
    if (const auto copy = fileSystem.OpenFile(kSecondLogoCopy, platform::FileMode::ReadWrite)) {
        LiftDarkPixels(*copy);
    }
    return 1;
}

bool LiftDarkPixels(platform::File& file) {
    const std::optional<PixelBlock> block = ReadPixelBlockLayout(file);
    if (!block) {
        return false;
    }
    std::vector<std::uint8_t> pixels;
    try {
        pixels.resize(block->bytes);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!file.Seek(block->offset) || ReadUpTo(file, pixels) != pixels.size()) {
        return false;
    }
    LogoDarkPixelFix(pixels, block->rows);
    if (!file.Seek(block->offset)) {
        return false;
    }
    return file.Write(pixels.data(), block->bytes);
}

}  // namespace velkor::update
