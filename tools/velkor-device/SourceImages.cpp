#include "velkor-device/SourceImages.h"

#include "platform/DeviceText.h"

namespace velkor::device_tool {
namespace {

namespace fs = std::filesystem;

// The host's whole tree is the file system here: the engineer's files may lie anywhere.
constexpr std::string_view kHostRoot = "/";

// The file's absolute host path, whose '/' separates as well as the device's '\'. The device
// refuses "..", so it is resolved here first.
std::u16string DevicePath(const fs::path& file) {
    return platform::FromUtf8(fs::absolute(file).lexically_normal().string());
}

}  // namespace

SourceImages::SourceImages(const sim::DeviceConfig& device)
    : files_(fs::path(kHostRoot), noneDismounted_, shared::FileRules{}, errors_),
      loader_(files_, errors_),
      checks_(
          files_, loader_, [this] { return errors_.Last(); }, device) {}

std::vector<std::string> SourceImages::Problems(update::ImageKind kind, const fs::path& file) {
    return checks_.Problems(kind, DevicePath(file), file.string());
}

}  // namespace velkor::device_tool
