#include "backend/shared/FolderListingSearch.h"

#include "backend/shared/ErrnoErrors.h"
#include "platform/DeviceText.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <vector>

namespace velkor::shared {
namespace {

namespace error = platform::error;

// "\StorageCard\Images"; "" for the root.
std::u16string DevicePath(const std::vector<std::u16string>& components) {
    std::u16string path;
    for (const std::u16string& component : components) {
        path += u'\\' + component;
    }
    return path;
}

}  // namespace

std::unique_ptr<FolderListingSearch> FolderListingSearch::Start(const ResolvedPath& folder, const Context& context,
                                                        platform::FindData& first) {
    DirectoryListing listing = OpenListing(folder.folder.Get(), folder.name.c_str());
    if (!listing) {
        // A missing name or a file is not a folder that could be searched.
        context.errors.Fail(errno == ENOENT || errno == ENOTDIR ? error::kPathNotFound : DeviceErrorFromErrno(errno));
        return nullptr;
    }
    std::unique_ptr<FolderListingSearch> search(new FolderListingSearch(std::move(listing), folder, context));
    if (!search->FindNext(first)) {
        if (context.errors.Last() == error::kNoMoreFiles) {
            context.errors.Fail(error::kFileNotFound);
        }
        return nullptr;
    }
    return search;
}

FolderListingSearch::FolderListingSearch(DirectoryListing listing, const ResolvedPath& folder, const Context& context)
    : listing_(std::move(listing)),
      context_(context),
      inRoot_(folder.components.empty()),
      folderPath_(DevicePath(folder.components)),
      folderKey_(AttributeRules::Key(folder.components)) {}

bool FolderListingSearch::FindNext(platform::FindData& entry) {
    for (;;) {
        // readdir() tells its end from a failure only through errno.
        errno = 0;
        const dirent* hostEntry = ::readdir(listing_.get());
        if (!hostEntry) {
            return context_.errors.Fail(errno == 0 ? error::kNoMoreFiles : DeviceErrorFromErrno(errno));
        }
        if (std::optional<platform::FindData> found = Examine(hostEntry->d_name)) {
            entry = std::move(*found);
            return true;
        }
    }
}

std::optional<platform::FindData> FolderListingSearch::Examine(const char* hostName) const {
    std::u16string name = platform::FromUtf8(hostName);
    struct stat info {};
    if (!IsReachableByName(hostName, name) ||
        ::fstatat(::dirfd(listing_.get()), hostName, &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return std::nullopt;
    }
    if (S_ISLNK(info.st_mode)) {
        return ExamineLink(std::move(name));
    }
    const std::u16string key = AttributeRules::EntryKey(folderKey_, name);
    return Describe(std::move(name), key, info);
}

bool FolderListingSearch::IsReachableByName(std::string_view hostName, std::u16string_view name) const {
    // A name that is not the same bytes once converted back, or that a path would split in two,
    // leads elsewhere or nowhere.
    return hostName != "." && PathResolver::IsAcceptableName(name) && name.find(u'\\') == std::u16string_view::npos &&
           platform::ToUtf8(name) == hostName && !(inRoot_ && context_.dismounted.Contains(name));
}

std::optional<platform::FindData> FolderListingSearch::ExamineLink(std::u16string name) const {
    const ResolvedPath target = context_.resolver.Resolve(folderPath_ + u'\\' + name, FinalLink::Follow);
    struct stat info {};
    if (target.error != error::kSuccess ||
        ::fstatat(target.folder.Get(), target.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return std::nullopt;  // it dangles, or leads out of the root or into a dismounted volume
    }
    return Describe(std::move(name), AttributeRules::Key(target.components), info);
}

platform::FindData FolderListingSearch::Describe(std::u16string name, std::u16string_view key,
                                             const struct stat& info) const {
    const bool isFolder = S_ISDIR(info.st_mode);
    return {std::move(name), context_.attributes.Of(key, isFolder),
            isFolder ? 0 : static_cast<std::uint64_t>(info.st_size)};
}

}  // namespace velkor::shared
