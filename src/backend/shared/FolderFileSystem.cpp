#include "backend/shared/FolderFileSystem.h"

#include "backend/shared/ErrnoErrors.h"
#include "backend/shared/DeviceFile.h"
#include "backend/shared/FileCopy.h"
#include "backend/shared/FolderListingSearch.h"
#include "backend/shared/PlainFile.h"
#include "backend/shared/SearchPattern.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace velkor::shared {
namespace {

namespace error = platform::error;
namespace fs = std::filesystem;

constexpr mode_t kNewFolderPermissions = 0755;

int OpenFlags(platform::FileMode mode) {
    switch (mode) {
        case platform::FileMode::Read:
            return O_RDONLY;
        case platform::FileMode::ReadWrite:
            return O_RDWR;
        case platform::FileMode::CreateTruncate:
            return O_WRONLY | O_CREAT | O_TRUNC;
        case platform::FileMode::CreateNew:
            return O_WRONLY | O_CREAT | O_EXCL;
    }
    return O_RDONLY;
}

}  // namespace

FolderFileSystem::FolderFileSystem(const fs::path& root, const DismountedFolders& dismounted, const FileRules& rules,
                             ErrorState& errors)
    : resolver_(root, dismounted),
      dismounted_(dismounted),
      attributes_(rules),
      errors_(errors) {}

std::uint32_t FolderFileSystem::GetAttributes(std::u16string_view path) {
    const std::optional<ResolvedPath> resolved = Resolve(path, FinalLink::Follow);
    if (!resolved) {
        return platform::kInvalidFileAttributes;
    }
    struct stat info {};
    if (::fstatat(resolved->folder.Get(), resolved->name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        errors_.Fail(DeviceErrorFromErrno(errno));
        return platform::kInvalidFileAttributes;
    }
    return attributes_.Of(AttributeRules::Key(resolved->components), S_ISDIR(info.st_mode));
}

bool FolderFileSystem::CreateDirectory(std::u16string_view path) {
    const std::optional<ResolvedPath> resolved = ResolveForChange(path, FinalLink::Keep);
    if (!resolved) {
        return false;
    }
    if (::mkdirat(resolved->folder.Get(), resolved->name.c_str(), kNewFolderPermissions) != 0) {
        return errors_.Fail(DeviceErrorFromErrno(errno));
    }
    return true;
}

bool FolderFileSystem::CopyFile(std::u16string_view from, std::u16string_view to) {
    return CopyFileTo(from, *this, to);
}

bool FolderFileSystem::CopyFileTo(std::u16string_view from, FolderFileSystem& targetFiles, std::u16string_view to) {
    const std::optional<ResolvedPath> source = Resolve(from, FinalLink::Follow);
    UniqueFd sourceFd = source ? OpenResolvedFile(*source, O_RDONLY, errors_) : UniqueFd();
    if (!sourceFd.IsValid()) {
        return false;
    }
    const std::optional<ResolvedPath> target = targetFiles.ResolveForChange(to, FinalLink::Follow);
    if (!target) {
        return false;
    }
    return CopyFileOnto(std::move(sourceFd), *target, errors_);
}

bool FolderFileSystem::DeleteFile(std::u16string_view path) {
    const std::optional<ResolvedPath> resolved = ResolveForChange(path, FinalLink::Keep);
    if (!resolved) {
        return false;
    }
    // unlinkat() without AT_REMOVEDIR refuses folders itself (EISDIR): access denied on the device.
    if (::unlinkat(resolved->folder.Get(), resolved->name.c_str(), 0) != 0) {
        return errors_.Fail(DeviceErrorFromErrno(errno));
    }
    return true;
}

bool FolderFileSystem::MoveFile(std::u16string_view from, std::u16string_view to) {
    const std::optional<ResolvedPath> source = ResolveForChange(from, FinalLink::Keep);
    if (!source) {
        return false;
    }
    // Checked before the target so that a missing source is told apart from a missing target folder.
    struct stat info {};
    if (::fstatat(source->folder.Get(), source->name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return errors_.Fail(DeviceErrorFromErrno(errno));
    }
    const std::optional<ResolvedPath> target = ResolveForChange(to, FinalLink::Keep);
    if (!target) {
        return false;
    }
    if (::renameat(source->folder.Get(), source->name.c_str(), target->folder.Get(), target->name.c_str()) != 0) {
        return errors_.Fail(DeviceErrorFromErrno(errno));
    }
    return true;
}

std::unique_ptr<platform::File> FolderFileSystem::OpenFile(std::u16string_view path, platform::FileMode mode) {
    const std::optional<ResolvedPath> resolved = mode == platform::FileMode::Read
                                                     ? Resolve(path, FinalLink::Follow)
                                                     : ResolveForChange(path, FinalLink::Follow);
    UniqueFd fd = resolved ? OpenResolvedFile(*resolved, OpenFlags(mode), errors_) : UniqueFd();
    if (!fd.IsValid()) {
        return nullptr;
    }
    return std::make_unique<DeviceFile>(std::move(fd), errors_);
}

std::unique_ptr<platform::FolderSearch> FolderFileSystem::FindFirstFile(std::u16string_view pattern,
                                                                     platform::FindData& first) {
    const std::optional<std::u16string_view> folderPath = SearchedFolder(pattern);
    if (!folderPath) {
        errors_.Fail(error::kInvalidParameter);
        return nullptr;
    }
    const std::optional<ResolvedPath> folder = Resolve(*folderPath, FinalLink::Follow);
    if (!folder) {
        return nullptr;
    }
    return FolderListingSearch::Start(*folder, {resolver_, dismounted_, attributes_, errors_}, first);
}

std::optional<std::vector<std::u16string>> FolderFileSystem::Locate(std::u16string_view path) const {
    ResolvedPath resolved = resolver_.Resolve(path, FinalLink::Follow);
    if (resolved.error != error::kSuccess) {
        return std::nullopt;
    }
    return std::move(resolved.components);
}

std::optional<ResolvedPath> FolderFileSystem::Resolve(std::u16string_view path, FinalLink finalLink) {
    ResolvedPath resolved = resolver_.Resolve(path, finalLink);
    if (resolved.error != error::kSuccess) {
        errors_.Fail(resolved.error);
        return std::nullopt;
    }
    return resolved;
}

std::optional<ResolvedPath> FolderFileSystem::ResolveForChange(std::u16string_view path, FinalLink finalLink) {
    std::optional<ResolvedPath> resolved = Resolve(path, finalLink);
    if (resolved && IsWriteProtected(*resolved)) {
        errors_.Fail(error::kWriteProtect);
        return std::nullopt;
    }
    return resolved;
}

bool FolderFileSystem::IsWriteProtected(const ResolvedPath& path) const {
    return attributes_.IsWriteProtected(AttributeRules::Key(path.components));
}

}  // namespace velkor::shared
