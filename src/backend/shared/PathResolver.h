#pragma once

#include "backend/shared/DismountedFolders.h"
#include "backend/shared/ResolvedPath.h"
#include "backend/shared/UniqueFd.h"

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::shared {

// Resolves device paths ("\StorageCard\LOGO2.bmp") inside the device's root folder, matching each
// component without regard to case as the device's file system does. Nothing outside the root is
// ever reached: "..", names with a drive colon or wildcards, and symbolic links that lead out of
// the root are refused, and the result is an open folder rather than a path to walk again. The root
// is opened afresh for each resolution, so that no descriptor holds it (or the volume mounted on it)
// between calls.
class PathResolver {
public:
    // `root` must be an existing folder. Throws std::filesystem::filesystem_error otherwise. Paths into the `dismounted` folders of the root
    // answer kPathNotFound for as long as they are listed there.
    PathResolver(const std::filesystem::path& root, const DismountedFolders& dismounted);

    ResolvedPath Resolve(std::u16string_view devicePath, FinalLink finalLink) const;

    // The components of a device path: '\' and '/' separate, empty and "." components are dropped.
    static std::vector<std::u16string> SplitComponents(std::u16string_view devicePath);
    // False for "..", and for names holding a drive colon, a wildcard or a control character.
    static bool IsAcceptableName(std::u16string_view component);

private:

    // The root's host path as given and with its links resolved: absolute link targets may use
    // either.
    std::array<std::filesystem::path, 2> rootSpellings_;
    const DismountedFolders& dismounted_;
};

}  // namespace velkor::shared
