#include "sim/SimFileSystem.h"

#include "platform/DeviceText.h"
#include "sim/HostErrors.h"
#include "sim/SimFile.h"
#include "sim/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace velkor::sim {
namespace {

namespace error = platform::error;
namespace fs = std::filesystem;

constexpr mode_t kNewFilePermissions = 0644;

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

bool IsInsideFolder(const std::vector<std::u16string>& path, const std::vector<std::u16string>& folder) {
    return folder.size() <= path.size() &&
           std::equal(folder.begin(), folder.end(), path.begin(),
                      [](const auto& left, const auto& right) { return platform::EqualsIgnoreCase(left, right); });
}

// Opens a regular file only: O_NONBLOCK keeps a fifo placed in the root from hanging the open,
// and is cleared again once the file is known to be regular.
UniqueFd OpenRegularFile(const fs::path& host, platform::FileMode mode, int& hostError) {
    UniqueFd fd(::open(host.c_str(), OpenFlags(mode) | O_CLOEXEC | O_NONBLOCK, kNewFilePermissions));
    struct stat info {};
    if (!fd.IsValid()) {
        hostError = errno;
    } else if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        hostError = EISDIR;
        fd = UniqueFd();
    } else {
        ::fcntl(fd.Get(), F_SETFL, ::fcntl(fd.Get(), F_GETFL) & ~O_NONBLOCK);
    }
    return fd;
}

}  // namespace

SimFileSystem::SimFileSystem(const fs::path& root, const FaultSwitches& faults, ErrorState& errors)
    : resolver_(root), fileSizeLimit_(faults.fileSizeLimit), errors_(errors) {
    for (const std::u16string& folder : faults.writeProtected) {
        writeProtected_.push_back(PathResolver::SplitComponents(folder));
    }
}

std::uint32_t SimFileSystem::GetAttributes(std::u16string_view path) {
    const std::optional<ResolvedPath> resolved = Resolve(path);
    if (!resolved) {
        return platform::kInvalidFileAttributes;
    }
    struct stat info {};
    if (::stat(resolved->host.c_str(), &info) != 0) {
        errors_.Fail(HostError(errno, *resolved));
        return platform::kInvalidFileAttributes;
    }
    if (S_ISDIR(info.st_mode)) {
        return platform::kFileAttributeDirectory;
    }
    return platform::kFileAttributeArchive | (IsWriteProtected(*resolved) ? platform::kFileAttributeReadOnly : 0);
}

bool SimFileSystem::CreateDirectory(std::u16string_view) { return errors_.Fail(error::kNotSupported); }

bool SimFileSystem::CopyFile(std::u16string_view, std::u16string_view) { return errors_.Fail(error::kNotSupported); }

bool SimFileSystem::DeleteFile(std::u16string_view path) {
    const std::optional<ResolvedPath> resolved = Resolve(path);
    if (!resolved) {
        return false;
    }
    if (IsWriteProtected(*resolved)) {
        return errors_.Fail(error::kWriteProtect);
    }
    // unlink() refuses directories itself (EISDIR), which the device reports as access denied.
    if (::unlink(resolved->host.c_str()) != 0) {
        return errors_.Fail(HostError(errno, *resolved));
    }
    return true;
}

bool SimFileSystem::MoveFile(std::u16string_view from, std::u16string_view to) {
    const std::optional<ResolvedPath> source = Resolve(from);
    const std::optional<ResolvedPath> target = source ? Resolve(to) : std::nullopt;
    if (!target) {
        return false;
    }
    if (IsWriteProtected(*source) || IsWriteProtected(*target)) {
        return errors_.Fail(error::kWriteProtect);
    }
    // Checked first so that a missing source is told apart from a missing target folder.
    struct stat info {};
    if (::lstat(source->host.c_str(), &info) != 0) {
        return errors_.Fail(HostError(errno, *source));
    }
    if (std::rename(source->host.c_str(), target->host.c_str()) != 0) {
        return errors_.Fail(HostError(errno, *target));
    }
    return true;
}

std::unique_ptr<platform::File> SimFileSystem::OpenFile(std::u16string_view path, platform::FileMode mode) {
    const std::optional<ResolvedPath> resolved = Resolve(path);
    if (!resolved) {
        return nullptr;
    }
    if (mode != platform::FileMode::Read && IsWriteProtected(*resolved)) {
        errors_.Fail(error::kWriteProtect);
        return nullptr;
    }
    int hostError = 0;
    UniqueFd fd = OpenRegularFile(resolved->host, mode, hostError);
    if (!fd.IsValid()) {
        errors_.Fail(HostError(hostError, *resolved));
        return nullptr;
    }
    return std::make_unique<SimFile>(std::move(fd), errors_, fileSizeLimit_);
}

std::optional<ResolvedPath> SimFileSystem::Resolve(std::u16string_view path) {
    ResolvedPath resolved = resolver_.Resolve(path);
    if (resolved.error != error::kSuccess) {
        errors_.Fail(resolved.error);
        return std::nullopt;
    }
    return resolved;
}

bool SimFileSystem::IsWriteProtected(const ResolvedPath& path) const {
    return std::any_of(writeProtected_.begin(), writeProtected_.end(),
                       [&](const auto& folder) { return IsInsideFolder(path.components, folder); });
}

std::uint32_t SimFileSystem::HostError(int hostError, const ResolvedPath& path) {
    if (hostError != ENOENT) {
        return DeviceErrorFromErrno(hostError);
    }
    std::error_code failure;
    return fs::is_directory(path.host.parent_path(), failure) ? error::kFileNotFound : error::kPathNotFound;
}

}  // namespace velkor::sim
