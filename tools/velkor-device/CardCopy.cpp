#include "velkor-device/CardCopy.h"

#include "backend/shared/DeviceError.h"
#include "backend/shared/DismountedFolders.h"
#include "backend/shared/ErrnoErrors.h"
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

// A name that differs only in case from one copied before keeps an entry of its own, as on the card,
// so that the dry run meets the names the device would (the copy by device path would join them).
bool CopyAsNamed(shared::FolderFileSystem& files, shared::ErrorState& errors, const fs::directory_entry& entry,
                 const fs::path& hostTarget) {
    const std::u16string target = DevicePath(hostTarget);
    if (fs::exists(hostTarget) || files.GetAttributes(target) == platform::kInvalidFileAttributes) {
        return entry.is_directory() ? JoinFolder(files, errors, target) : files.CopyFile(DevicePath(entry.path()), target);
    }
    std::error_code failure;
    if (entry.is_directory()) {
        fs::create_directory(hostTarget, failure);
    } else {
        fs::copy_file(entry.path(), hostTarget, failure);
    }
    if (failure) {
        return errors.Fail(shared::DeviceErrorFromErrno(failure.value()));
    }
    return true;
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
        if (!CopyAsNamed(files, errors, entry, storageCard / entry.path().lexically_relative(card))) {
            throw shared::DeviceError(fmt::format("cannot copy {} onto the copy of the device's storage card: {}",
                                                  entry.path().string(), FailureText(errors.Last())));
        }
    }
}

}  // namespace velkor::device_tool
