#pragma once

#include "backend/shared/DismountedFolders.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/FolderFileSystem.h"
#include "backend/shared/QtBitmapLoader.h"
#include "velkor-device/ImageChecks.h"

#include <filesystem>
#include <string>
#include <vector>

namespace velkor::device_tool {

// The engineer's image files, read through the program's own file system and bitmap loader and
// checked as the device would take them.
class SourceImages {
public:
    explicit SourceImages(const sim::DeviceConfig& device);

    SourceImages(const SourceImages&) = delete;
    SourceImages& operator=(const SourceImages&) = delete;

    // The problems of `file` as the image of the row `kind`, each naming the file as given.
    std::vector<std::string> Problems(update::ImageKind kind, const std::filesystem::path& file);

private:
    shared::ErrorState errors_;
    shared::DismountedFolders noneDismounted_;
    shared::FolderFileSystem files_;
    shared::QtBitmapLoader loader_;
    ImageChecks checks_;
};

}  // namespace velkor::device_tool
