#pragma once

#include "backend/shared/AttributeRules.h"
#include "backend/shared/DismountedFolders.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/FolderEntries.h"
#include "backend/shared/PathResolver.h"
#include "backend/shared/ResolvedPath.h"
#include "platform/FileSystem.h"

#include <sys/stat.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::shared {

// One folder's listing, read from its open host folder one entry at a time as the program asks,
// in the host's order. Each entry is examined through the folder's descriptor; only a symbolic
// link is resolved further, by the path resolver, so that it counts only where it stays inside
// the root. Entries the device could not reach by their names are left out.
class FolderListingSearch : public platform::FolderSearch {
public:
    // What the search consults for each entry; all of it outlives the search.
    struct Context {
        const PathResolver& resolver;
        const DismountedFolders& dismounted;
        const AttributeRules& attributes;
        ErrorState& errors;
    };

    // The search of the folder that `folder` resolved to, with its first entry in `first`. Null,
    // with the last error set, when it is not a folder (kPathNotFound) or holds no entry the device
    // can use (kFileNotFound).
    static std::unique_ptr<FolderListingSearch> Start(const ResolvedPath& folder, const Context& context,
                                                  platform::FindData& first);

    bool FindNext(platform::FindData& entry) override;

private:
    FolderListingSearch(DirectoryListing listing, const ResolvedPath& folder, const Context& context);

    // The entry as the device sees it; nothing when the device could not use it.
    std::optional<platform::FindData> Examine(const char* hostName) const;
    bool IsReachableByName(std::string_view hostName, std::u16string_view name) const;
    std::optional<platform::FindData> ExamineLink(std::u16string name) const;
    platform::FindData Describe(std::u16string name, std::u16string_view key, const struct stat& info) const;

    DirectoryListing listing_;
    Context context_;
    bool inRoot_;
    // The folder's device path as spelled on disk, which the links in it are resolved from.
    std::u16string folderPath_;
    std::u16string folderKey_;
};

}  // namespace velkor::shared
