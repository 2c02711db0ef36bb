#include "backend/shared/FolderEntries.h"

#include "backend/shared/UniqueFd.h"
#include "platform/DeviceText.h"

#include <dirent.h>
#include <fcntl.h>

#include <algorithm>
#include <string_view>

namespace velkor::shared {

DirectoryListing OpenListing(int folderFd, const char* name) {
    UniqueFd readable(::openat(folderFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    DirectoryListing listing(readable.IsValid() ? ::fdopendir(readable.Get()) : nullptr);
    if (listing) {
        // The listing closes the descriptor from now on.
        (void)readable.Release();
    }
    return listing;
}

std::optional<std::vector<std::string>> ListFolder(int folderFd) {
    const DirectoryListing listing = OpenListing(folderFd, ".");
    if (!listing) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(listing.get())) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
    return names;
}

std::string MatchEntry(int folderFd, const std::string& component) {
    const std::optional<std::vector<std::string>> names = ListFolder(folderFd);
    if (!names || std::find(names->begin(), names->end(), component) != names->end()) {
        return component;
    }
    const std::u16string wanted = platform::FromUtf8(component);
    std::optional<std::string> caseInsensitiveMatch;
    for (const std::string& name : *names) {
        // Directory order is arbitrary on the host; the smallest name makes the choice repeatable.
        if ((!caseInsensitiveMatch || name < *caseInsensitiveMatch) &&
            platform::EqualsIgnoreCase(platform::FromUtf8(name), wanted)) {
            caseInsensitiveMatch = name;
        }
    }
    return caseInsensitiveMatch.value_or(component);
}

}  // namespace velkor::shared
