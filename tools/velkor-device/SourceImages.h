#pragma once

#include "backend/shared/DismountedFolders.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/FolderFileSystem.h"
#include "backend/shared/QtBitmapLoader.h"

#include <filesystem>
#include <memory>
#include <string_view>

namespace velkor::device_tool {

// The engineer's image files, read through the program's own file system and bitmap loader, so
// that a file passes the card's checks exactly when the device would open and load it.
class SourceImages {
public:
    SourceImages();

    SourceImages(const SourceImages&) = delete;
    SourceImages& operator=(const SourceImages&) = delete;

    // Null when the file cannot be opened for reading; LastFailure() says why.
    std::unique_ptr<platform::File> Open(const std::filesystem::path& file);
    // Null when the file is not a bitmap the device loads.
    std::unique_ptr<platform::Bitmap> LoadBitmap(const std::filesystem::path& file);
    // Why the last Open failed: "no such file", ...
    std::string_view LastFailure() const;

private:
    shared::ErrorState errors_;
    shared::DismountedFolders noneDismounted_;
    shared::FolderFileSystem files_;
    shared::QtBitmapLoader loader_;
};

}  // namespace velkor::device_tool
