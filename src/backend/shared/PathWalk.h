#pragma once

#include "backend/shared/DismountedFolders.h"
#include "backend/shared/ResolvedPath.h"
#include "backend/shared/UniqueFd.h"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velkor::shared {

// One resolution of a device path, component by component from the root's open folder. Folders
// are listed and entered through their descriptors, never through host path strings, and symbolic
// links are read and followed by the walk itself, so whatever is renamed or swapped meanwhile, the
// folder the walk checked is the folder the caller acts in.
class PathWalk {
public:
    // An absolute link target is inside the root when it lies below one of `rootSpellings`, the
    // host paths of the root. The `dismounted` folders of the root are not there for the walk.
    PathWalk(const UniqueFd& root, std::span<const std::filesystem::path> rootSpellings,
             const DismountedFolders& dismounted);

    // `components` are device names already found acceptable.
    ResolvedPath Resolve(const std::vector<std::u16string>& components, FinalLink finalLink);

private:
    struct Folder {
        UniqueFd fd;
        std::string name;
    };
    // A name still to walk: a device component, matched without regard to case, or a component
    // of a link's target, which is host text and must exist exactly as spelled.
    struct Step {
        std::string name;
        bool fromLink;
    };

    // Each of these ends the walk with a result, or returns nothing to let it go on.
    std::optional<ResolvedPath> Take(const Step& step, FinalLink finalLink);
    std::optional<ResolvedPath> LeaveFolder();
    std::optional<ResolvedPath> Unreachable(std::string name, const Step& step, int errnoValue);
    std::optional<ResolvedPath> FollowLink(const UniqueFd& link);

    // The remainder of an absolute link target below the root.
    std::optional<std::filesystem::path> BelowRoot(const std::filesystem::path& target) const;
    ResolvedPath Found(std::string name);
    ResolvedPath FoundCurrentFolder();
    static ResolvedPath Refused(std::uint32_t error);

    std::span<const std::filesystem::path> rootSpellings_;
    const DismountedFolders& dismounted_;
    // From the root down to the folder the walk stands in.
    std::vector<Folder> folders_;
    std::deque<Step> pending_;
    int linksFollowed_ = 0;
};

}  // namespace velkor::shared
