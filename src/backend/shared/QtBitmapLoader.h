#pragma once

#include "backend/shared/ErrorState.h"
#include "platform/BitmapLoader.h"
#include "platform/FileSystem.h"

#include <QByteArray>

#include <cstdint>
#include <optional>

namespace velkor::shared {

// Loads Windows bitmap files with Qt's BMP reader. Files are read through the device's file
// system, so its confinement and case rules apply; a file that does not decode as a Windows
// bitmap fails with kInvalidData, whatever other image it might be.
class QtBitmapLoader : public platform::BitmapLoader {
public:
    // Larger files are refused unread with kInvalidData: the whole file is held in memory while it
    // decodes, and no screen of the device needs a bitmap near this size.
    static constexpr std::uint64_t kMaxFileSize = 256 * 1024 * 1024;

    QtBitmapLoader(platform::FileSystem& files, ErrorState& errors);

    std::unique_ptr<platform::Bitmap> LoadDIBitmap(std::u16string_view path) override;

private:
    // Nothing, with the last error set, when the file cannot be read or is too large.
    std::optional<QByteArray> ReadFile(std::u16string_view path);

    platform::FileSystem& files_;
    ErrorState& errors_;
};

}  // namespace velkor::shared
