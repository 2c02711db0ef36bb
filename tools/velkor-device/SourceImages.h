#pragma once

#include "host/DismountedFolders.h"
#include "host/ErrorState.h"
#include "host/FolderFileSystem.h"
#include "host/QtBitmapLoader.h"

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
    host::ErrorState errors_;
    host::DismountedFolders noneDismounted_;
    host::FolderFileSystem files_;
    host::QtBitmapLoader loader_;
};

}  // namespace velkor::device_tool
