#include "velkor-device/SourceImages.h"

#include "platform/DeviceText.h"

namespace velkor::device_tool {
namespace {

namespace fs = std::filesystem;
namespace error = platform::error;

// The host's whole tree is the file system here: the engineer's files may lie anywhere.
constexpr std::string_view kHostRoot = "/";

// The file's absolute host path, whose '/' separates as well as the device's '\'. The device
// refuses "..", so it is resolved here first.
std::u16string DevicePath(const fs::path& file) {
    return platform::FromUtf8(fs::absolute(file).lexically_normal().string());
}

}  // namespace

SourceImages::SourceImages()
    : files_(fs::path(kHostRoot), noneDismounted_, shared::FileRules{}, errors_), loader_(files_, errors_) {}

std::unique_ptr<platform::File> SourceImages::Open(const fs::path& file) {
    return files_.OpenFile(DevicePath(file), platform::FileMode::Read);
}

std::unique_ptr<platform::Bitmap> SourceImages::LoadBitmap(const fs::path& file) {
    return loader_.LoadDIBitmap(DevicePath(file));
}

std::string_view SourceImages::LastFailure() const {
    switch (errors_.Last()) {
        case error::kFileNotFound:
        case error::kPathNotFound:
            return "no such file";
        case error::kInvalidName:
            return "its path holds a name the device refuses";
        default:
            return "not a plain file this user may read";
    }
}

}  // namespace velkor::device_tool
