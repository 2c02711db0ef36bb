#include "sim/PathResolver.h"

#include "platform/DeviceText.h"

#include <algorithm>
#include <optional>

namespace velkor::sim {
namespace {

namespace fs = std::filesystem;
namespace error = platform::error;

// Characters no device file name holds: the drive colon and the wildcards.
constexpr std::u16string_view kForbiddenCharacters = u":*?\"<>|";

constexpr std::u16string_view kSeparators = u"\\/";

bool IsInside(const fs::path& path, const fs::path& root) {
    const auto [rootEnd, pathEnd] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
    return rootEnd == root.end();
}

}  // namespace

PathResolver::PathResolver(const fs::path& root) : root_(fs::canonical(root)) {}

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

ResolvedPath PathResolver::Resolve(std::u16string_view devicePath) const {
    ResolvedPath result;
    const std::vector<std::u16string> components = SplitComponents(devicePath);
    if (!std::all_of(components.begin(), components.end(), IsAcceptableName)) {
        result.error = error::kInvalidName;
        return result;
    }
    result.host = root_;
    for (const std::u16string& component : components) {
        const fs::path name = MatchEntry(result.host, component);
        result.host /= name;
        result.components.push_back(platform::FromUtf8(name.string()));
        // Checked before the next component looks into it, so nothing outside is ever listed.
        if (!IsLinkInsideRoot(result.host)) {
            result.error = error::kAccessDenied;
            return result;
        }
    }
    return result;
}

bool PathResolver::IsAcceptableName(std::u16string_view component) {
    const auto forbidden = [](char16_t c) {
        return c < u' ' || kForbiddenCharacters.find(c) != std::u16string_view::npos;
    };
    return component != u".." && std::none_of(component.begin(), component.end(), forbidden);
}

fs::path PathResolver::MatchEntry(const fs::path& directory, std::u16string_view component) {
    std::error_code failure;
    std::optional<fs::path> caseInsensitiveMatch;
    for (fs::directory_iterator entries(directory, failure), end; !failure && entries != end;
         entries.increment(failure)) {
        fs::path name = entries->path().filename();
        const std::u16string deviceName = platform::FromUtf8(name.string());
        if (deviceName == component) {
            return name;
        }
        // Directory order is arbitrary on the host; the smallest name makes the choice repeatable.
        if (platform::EqualsIgnoreCase(deviceName, component) &&
            (!caseInsensitiveMatch || name < *caseInsensitiveMatch)) {
            caseInsensitiveMatch = std::move(name);
        }
    }
    return caseInsensitiveMatch.value_or(fs::path(platform::ToUtf8(component)));
}

bool PathResolver::IsLinkInsideRoot(const fs::path& host) const {
    std::error_code failure;
    if (!fs::is_symlink(fs::symlink_status(host, failure))) {
        return true;
    }
    // A dangling or looping link has no canonical path and is refused too.
    const fs::path target = fs::canonical(host, failure);
    return !failure && IsInside(target, root_);
}

}  // namespace velkor::sim
