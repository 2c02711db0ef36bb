#include "velkor-device/CardCopy.h"

#include "backend/shared/DeviceError.h"
#include "backend/shared/DismountedFolders.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/FolderFileSystem.h"
#include "platform/DeviceText.h"
#include "platform/ErrorCodes.h"

#include <fmt/format.h>

namespace velkor::device_tool {
namespace {

namespace fs = std::filesystem;
namespace error = platform::error;

// The host's whole tree, as for the engineer's images: the card and the copy of the device lie
// anywhere.
constexpr std::string_view kHostRoot = "/";

std::u16string DevicePath(const fs::path& path) {
    return platform::FromUtf8(fs::absolute(path).lexically_normal().string());
}

std::string FailureText(std::uint32_t code) {
    return code == error::kDiskFull ? "the disk is full" : fmt::format("error {}", code);
}

// A folder that is there already, in any letter case, is joined.
bool JoinFolder(shared::FolderFileSystem& files, const shared::ErrorState& errors, std::u16string_view path) {
    const bool made = files.CreateDirectory(path);
    return made || errors.Last() == error::kAlreadyExists;
}

}  // namespace

void CopyCardOnto(const fs::path& card, const fs::path& storageCard) {
    shared::ErrorState errors;
    const shared::DismountedFolders noneDismounted;
    shared::FolderFileSystem files(fs::path(kHostRoot), noneDismounted, shared::FileRules{}, errors);
    if (!JoinFolder(files, errors, DevicePath(storageCard))) {
        throw shared::DeviceError(
            fmt::format("cannot make the storage card {}: {}", storageCard.string(), FailureText(errors.Last())));
    }
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(card)) {
        const std::u16string target = DevicePath(storageCard / entry.path().lexically_relative(card));
        const bool copied =
            entry.is_directory() ? JoinFolder(files, errors, target) : files.CopyFile(DevicePath(entry.path()), target);
        if (!copied) {
            throw shared::DeviceError(fmt::format("cannot copy {} onto the copy of the device's storage card: {}",
                                                  entry.path().string(), FailureText(errors.Last())));
        }
    }
}

}  // namespace velkor::device_tool
