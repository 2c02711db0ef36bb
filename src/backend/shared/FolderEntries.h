#pragma once

#include <dirent.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velkor::shared {

struct CloseDirectory {
    void operator()(DIR* directory) const { ::closedir(directory); }
};
using DirectoryListing = std::unique_ptr<DIR, CloseDirectory>;

// The folder `name` of the folder open as `folderFd` (O_PATH is enough), opened for reading its
// entries without following a final link; null, with errno set, when it is no such folder.
DirectoryListing OpenListing(int folderFd, const char* name);

// The host names in the folder open as `folderFd` (O_PATH is enough), without "." and "..";
// nothing when the folder cannot be listed.
std::optional<std::vector<std::string>> ListFolder(int folderFd);

// The entry of the folder that the device name `component` names: the entry spelled exactly so if
// there is one, otherwise the smallest that matches it without regard to case, otherwise
// `component` as given.
std::string MatchEntry(int folderFd, const std::string& component);

}  // namespace velkor::shared
