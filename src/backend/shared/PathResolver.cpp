#include "backend/shared/PathResolver.h"

#include "backend/shared/PathWalk.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace velkor::shared {
namespace {

namespace fs = std::filesystem;
namespace error = platform::error;

// Characters no device file name holds: the drive colon and the wildcards.
constexpr std::u16string_view kForbiddenCharacters = u":*?\"<>|";

constexpr std::u16string_view kSeparators = u"\\/";

fs::path AbsoluteSpelling(const fs::path& root) {
    const fs::path normal = fs::absolute(root).lexically_normal();
    return normal.has_filename() ? normal : normal.parent_path();
}

}  // namespace

PathResolver::PathResolver(const fs::path& root, const DismountedFolders& dismounted)
    : rootSpellings_{AbsoluteSpelling(root), fs::canonical(root)}, dismounted_(dismounted) {
    if (!fs::is_directory(rootSpellings_[1])) {
        throw fs::filesystem_error("the device's root is not a folder", root,
                                   std::make_error_code(std::errc::not_a_directory));
    }
}

std::vector<std::u16string> PathResolver::SplitComponents(std::u16string_view devicePath) {
    std::vector<std::u16string> components;
    std::size_t start = 0;
    while (start <= devicePath.size()) {
        const std::size_t end = std::min(devicePath.find_first_of(kSeparators, start), devicePath.size());
        const std::u16string_view component = devicePath.substr(start, end - start);
        if (!component.empty() && component != u".") {
            components.emplace_back(component);
        }
        start = end + 1;
    }
    return components;
}

ResolvedPath PathResolver::Resolve(std::u16string_view devicePath, FinalLink finalLink) const {
    const std::vector<std::u16string> components = SplitComponents(devicePath);
    if (!std::all_of(components.begin(), components.end(), IsAcceptableName)) {
        ResolvedPath refused;
        refused.error = error::kInvalidName;
        return refused;
    }
    // By the spelling whose links were resolved when the resolver was made: a root that has since
    // been swapped for a link is not followed.
    const UniqueFd root(::open(rootSpellings_[1].c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!root.IsValid()) {
        ResolvedPath unreachable;
        unreachable.error = error::kPathNotFound;
        return unreachable;
    }
    return PathWalk(root, rootSpellings_, dismounted_).Resolve(components, finalLink);
}

bool PathResolver::IsAcceptableName(std::u16string_view component) {
    const auto forbidden = [](char16_t c) {
        return c < u' ' || kForbiddenCharacters.find(c) != std::u16string_view::npos;
    };
    return component != u".." && std::none_of(component.begin(), component.end(), forbidden);
}

}  // namespace velkor::shared
