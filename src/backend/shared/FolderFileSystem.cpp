#include "backend/shared/FolderFileSystem.h"

#include "backend/shared/ErrnoErrors.h"
#include "backend/shared/DeviceFile.h"
#include "backend/shared/FolderListingSearch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace velkor::shared {
namespace {

namespace error = platform::error;
namespace fs = std::filesystem;

// The final component of the only search pattern the device is asked for, and the wildcards that
// may appear nowhere else in it.
constexpr std::u16string_view kEveryName = u"*.*";
constexpr std::u16string_view kWildcards = u"*?";
constexpr std::u16string_view kSeparators = u"\\/";

constexpr mode_t kNewFilePermissions = 0644;
constexpr mode_t kNewFolderPermissions = 0755;
// Copies stream through a buffer of this size, however large the file.
constexpr std::uint32_t kCopyChunkSize = 64 * 1024;

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

// The folder that a search pattern lists: the pattern less its final "*.*"; nothing for any other pattern.
std::optional<std::u16string_view> SearchedFolder(std::u16string_view pattern) {
    const std::size_t separator = pattern.find_last_of(kSeparators);
    const std::size_t nameStart = separator == std::u16string_view::npos ? 0 : separator + 1;
    const std::u16string_view folder = pattern.substr(0, nameStart);
    if (pattern.substr(nameStart) != kEveryName || folder.find_first_of(kWildcards) != std::u16string_view::npos) {
        return std::nullopt;
    }
    return folder;
}

// True also when either file cannot be examined: better to refuse a copy than to empty its source.
bool MayBeSameFile(const UniqueFd& first, const UniqueFd& second) {
    struct stat firstInfo {};
    struct stat secondInfo {};
    return ::fstat(first.Get(), &firstInfo) != 0 || ::fstat(second.Get(), &secondInfo) != 0 ||
           (firstInfo.st_dev == secondInfo.st_dev && firstInfo.st_ino == secondInfo.st_ino);
}

}  // namespace

FolderFileSystem::FolderFileSystem(const fs::path& root, const DismountedFolders& dismounted, const FileRules& rules,
                             ErrorState& errors)
    : resolver_(root, dismounted),
      dismounted_(dismounted),
      attributes_(rules),
      fileSizeLimit_(rules.fileSizeLimit),
      moveFails_(rules.moveFails),
      errors_(errors) {
    for (const std::u16string& file : rules.openFails) {
        openFails_.push_back(AttributeRules::Key(PathResolver::SplitComponents(file)));
    }
}

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
    const std::optional<ResolvedPath> source = Resolve(from, FinalLink::Follow);
    UniqueFd sourceFd = source ? OpenRegularFile(*source, O_RDONLY) : UniqueFd();
    if (!sourceFd.IsValid()) {
        return false;
    }
    const std::optional<ResolvedPath> target = ResolveForChange(to, FinalLink::Follow);
    UniqueFd targetFd = target ? OpenCopyTarget(*target, sourceFd) : UniqueFd();
    if (!targetFd.IsValid()) {
        return false;
    }
    if (!CopyContents(std::move(sourceFd), std::move(targetFd))) {
        // No half file is left behind; the error of the failed write stays the one reported.
        ::unlinkat(target->folder.Get(), target->name.c_str(), 0);
        return false;
    }
    return true;
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
    if (moveFails_) {
        return errors_.Fail(error::kAccessDenied);
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
    if (resolved && RefusesOpen(*resolved)) {
        errors_.Fail(error::kAccessDenied);
        return nullptr;
    }
    UniqueFd fd = resolved ? OpenRegularFile(*resolved, OpenFlags(mode)) : UniqueFd();
    if (!fd.IsValid()) {
        return nullptr;
    }
    return std::make_unique<DeviceFile>(std::move(fd), errors_, fileSizeLimit_);
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

bool FolderFileSystem::RefusesOpen(const ResolvedPath& path) const {
    return std::find(openFails_.begin(), openFails_.end(), AttributeRules::Key(path.components)) != openFails_.end();
}

UniqueFd FolderFileSystem::OpenRegularFile(const ResolvedPath& path, int flags) {
    // O_NOFOLLOW makes a link swapped in since the walk fail instead of leading elsewhere;
    // O_NONBLOCK keeps a fifo placed in the root from hanging the open, and is cleared again
    // once the file is known to be regular.
    UniqueFd fd(::openat(path.folder.Get(), path.name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK,
                         kNewFilePermissions));
    struct stat info {};
    if (!fd.IsValid()) {
        errors_.Fail(DeviceErrorFromErrno(errno));
    } else if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        errors_.Fail(error::kAccessDenied);
        fd = UniqueFd();
    } else {
        ::fcntl(fd.Get(), F_SETFL, ::fcntl(fd.Get(), F_GETFL) & ~O_NONBLOCK);
    }
    return fd;
}

UniqueFd FolderFileSystem::OpenCopyTarget(const ResolvedPath& target, const UniqueFd& source) {
    // Opened without O_TRUNC: only once it is known not to be the source may it be emptied.
    UniqueFd fd = OpenRegularFile(target, O_WRONLY | O_CREAT);
    if (!fd.IsValid()) {
        return fd;
    }
    if (MayBeSameFile(source, fd)) {
        errors_.Fail(error::kSharingViolation);
        return UniqueFd();
    }
    if (::ftruncate(fd.Get(), 0) != 0) {
        errors_.Fail(DeviceErrorFromErrno(errno));
        return UniqueFd();
    }
    return fd;
}

bool FolderFileSystem::CopyContents(UniqueFd source, UniqueFd target) {
    DeviceFile reader(std::move(source), errors_, std::nullopt);
    DeviceFile writer(std::move(target), errors_, fileSizeLimit_);
    std::vector<char> chunk(kCopyChunkSize);
    std::uint32_t bytesRead = 0;
    while (reader.Read(chunk.data(), kCopyChunkSize, bytesRead)) {
        if (bytesRead == 0) {
            return true;
        }
        if (!writer.Write(chunk.data(), bytesRead)) {
            return false;
        }
    }
    return false;
}

}  // namespace velkor::shared
