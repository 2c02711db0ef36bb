#include "backend/sim/storage/VolumeFolder.h"

#include "backend/shared/FolderEntries.h"
#include "backend/shared/ErrnoErrors.h"
#include "backend/shared/storage/FatLayout.h"
#include "platform/DeviceText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace velkor::sim {
namespace {

constexpr mode_t kNewFolderPermissions = 0755;

// Every folder but a volume's root holds entries for itself and its parent.
constexpr std::uint64_t kDotEntries = 2;

shared::UniqueFd OpenSubfolder(int parentFd, const std::string& name) {
    return shared::UniqueFd(::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

std::uint64_t ClustersFor(std::uint64_t bytes, std::uint32_t clusterBytes) {
    return (bytes + clusterBytes - 1) / clusterBytes;
}

}  // namespace

VolumeFolder::VolumeFolder(const shared::UniqueFd& root, std::u16string_view folder, shared::ErrorState& errors)
    : root_(root), folder_(platform::ToUtf8(folder)), errors_(errors) {}

std::optional<std::uint64_t> VolumeFolder::UsedClusters(std::uint32_t clusterBytes) {
    const std::optional<shared::UniqueFd> folder = Open();
    if (!folder) {
        return std::nullopt;
    }
    // The volume's own root folder lies in the area before the clusters.
    return folder->IsValid() ? CountClusters(folder->Get(), clusterBytes, false) : 0;
}

bool VolumeFolder::Empty() {
    const std::optional<shared::UniqueFd> folder = Open();
    return folder && (!folder->IsValid() || RemoveContents(folder->Get()));
}

bool VolumeFolder::MakeFolder(const std::string& name) {
    const std::optional<shared::UniqueFd> folder = Open();
    if (!folder || !folder->IsValid()) {
        return false;
    }
    // Names compare without regard to case on the device: "$msd$" already is the folder.
    const std::string existing = shared::MatchEntry(folder->Get(), name);
    if (::faccessat(folder->Get(), existing.c_str(), F_OK, AT_SYMLINK_NOFOLLOW) == 0) {
        return true;
    }
    if (::mkdirat(folder->Get(), name.c_str(), kNewFolderPermissions) != 0) {
        return Fail();
    }
    return true;
}

std::optional<shared::UniqueFd> VolumeFolder::Open() {
    shared::UniqueFd folder = OpenSubfolder(root_.Get(), shared::MatchEntry(root_.Get(), folder_));
    if (!folder.IsValid() && errno != ENOENT) {
        Fail();
        return std::nullopt;
    }
    return folder;
}

std::optional<std::uint64_t> VolumeFolder::CountClusters(int folderFd, std::uint32_t clusterBytes, bool countFolder) {
    const std::optional<std::vector<std::string>> names = shared::ListFolder(folderFd);
    if (!names) {
        Fail();
        return std::nullopt;
    }
    std::uint64_t clusters = 0;
    if (countFolder) {
        const std::uint64_t entryBytes = (names->size() + kDotEntries) * shared::kDirectoryEntryBytes;
        clusters = std::max<std::uint64_t>(1, ClustersFor(entryBytes, clusterBytes));
    }
    for (const std::string& name : *names) {
        const std::optional<std::uint64_t> entry = EntryClusters(folderFd, name, clusterBytes);
        if (!entry) {
            return std::nullopt;
        }
        clusters += *entry;
    }
    return clusters;
}

std::optional<std::uint64_t> VolumeFolder::EntryClusters(int folderFd, const std::string& name,
                                                         std::uint32_t clusterBytes) {
    struct stat info {};
    if (::fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        Fail();
        return std::nullopt;
    }
    if (S_ISREG(info.st_mode)) {
        return ClustersFor(static_cast<std::uint64_t>(info.st_size), clusterBytes);
    }
    if (!S_ISDIR(info.st_mode)) {
        return 0;
    }
    const shared::UniqueFd subfolder = OpenSubfolder(folderFd, name);
    if (!subfolder.IsValid()) {
        Fail();
        return std::nullopt;
    }
    return CountClusters(subfolder.Get(), clusterBytes, true);
}

bool VolumeFolder::RemoveContents(int folderFd) {
    const std::optional<std::vector<std::string>> names = shared::ListFolder(folderFd);
    if (!names) {
        return Fail();
    }
    for (const std::string& name : *names) {
        if (::unlinkat(folderFd, name.c_str(), 0) == 0) {
            continue;
        }
        // The host refuses to unlink a folder with EISDIR; anything else is a real failure.
        if (errno != EISDIR) {
            return Fail();
        }
        const shared::UniqueFd subfolder = OpenSubfolder(folderFd, name);
        if (!subfolder.IsValid()) {
            return Fail();
        }
        if (!RemoveContents(subfolder.Get())) {
            return false;
        }
        if (::unlinkat(folderFd, name.c_str(), AT_REMOVEDIR) != 0) {
            return Fail();
        }
    }
    return true;
}

bool VolumeFolder::Fail() { return errors_.Fail(shared::DeviceErrorFromErrno(errno)); }

}  // namespace velkor::sim
