#include "backend/shared/PathWalk.h"

#include "backend/shared/FolderEntries.h"
#include "backend/shared/ErrnoErrors.h"
#include "platform/DeviceText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>

namespace velkor::shared {
namespace {

namespace error = platform::error;
namespace fs = std::filesystem;

// As many links as the host follows in one path before it calls it a loop.
constexpr int kMaxLinks = 40;

}  // namespace

PathWalk::PathWalk(const UniqueFd& root, std::span<const fs::path> rootSpellings, const DismountedFolders& dismounted)
    : rootSpellings_(rootSpellings), dismounted_(dismounted) {
    // A copy of its own, so that a result in the root can own its folder like any other.
    folders_.push_back({UniqueFd(::fcntl(root.Get(), F_DUPFD_CLOEXEC, 0)), ""});
}

ResolvedPath PathWalk::Resolve(const std::vector<std::u16string>& components, FinalLink finalLink) {
    for (const std::u16string& component : components) {
        pending_.push_back({platform::ToUtf8(component), false});
    }
    while (!pending_.empty()) {
        const Step step = std::move(pending_.front());
        pending_.pop_front();
        if (std::optional<ResolvedPath> end = Take(step, finalLink)) {
            return std::move(*end);
        }
    }
    return FoundCurrentFolder();
}

std::optional<ResolvedPath> PathWalk::Take(const Step& step, FinalLink finalLink) {
    if (step.name == "..") {
        return LeaveFolder();
    }
    std::string name = step.fromLink ? step.name : MatchEntry(folders_.back().fd.Get(), step.name);
    // Every way into the root's folders passes here, links included, so nothing reaches a
    // dismounted volume.
    if (folders_.size() == 1 && dismounted_.Contains(platform::FromUtf8(name))) {
        return Refused(error::kPathNotFound);
    }
    UniqueFd entry(::openat(folders_.back().fd.Get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!entry.IsValid() || ::fstat(entry.Get(), &info) != 0) {
        return Unreachable(std::move(name), step, errno);
    }
    const bool isLast = pending_.empty();
    if (S_ISLNK(info.st_mode) && (!isLast || finalLink == FinalLink::Follow)) {
        return FollowLink(entry);
    }
    if (isLast) {
        return Found(std::move(name));
    }
    if (!S_ISDIR(info.st_mode)) {
        return Refused(error::kPathNotFound);
    }
    folders_.push_back({std::move(entry), std::move(name)});
    return std::nullopt;
}

std::optional<ResolvedPath> PathWalk::LeaveFolder() {
    if (folders_.size() == 1) {
        return Refused(error::kAccessDenied);
    }
    folders_.pop_back();
    return std::nullopt;
}

std::optional<ResolvedPath> PathWalk::Unreachable(std::string name, const Step& step, int errnoValue) {
    if (errnoValue != ENOENT) {
        return Refused(DeviceErrorFromErrno(errnoValue));
    }
    if (step.fromLink) {
        return Refused(error::kAccessDenied);  // a dangling link
    }
    // A missing last name is the caller's to judge: a file to create, or one not found.
    return pending_.empty() ? Found(std::move(name)) : Refused(error::kPathNotFound);
}

std::optional<ResolvedPath> PathWalk::FollowLink(const UniqueFd& link) {
    std::array<char, PATH_MAX> text{};
    const ssize_t length = ::readlinkat(link.Get(), "", text.data(), text.size());
    if (++linksFollowed_ > kMaxLinks || length <= 0 || static_cast<std::size_t>(length) == text.size()) {
        return Refused(error::kAccessDenied);
    }
    fs::path target(std::string(text.data(), static_cast<std::size_t>(length)));
    if (target.is_absolute()) {
        std::optional<fs::path> below = BelowRoot(target);
        if (!below) {
            return Refused(error::kAccessDenied);
        }
        folders_.erase(folders_.begin() + 1, folders_.end());
        target = std::move(*below);
    }
    std::vector<Step> steps;
    for (const fs::path& component : target) {
        if (!component.empty() && component != ".") {
            steps.push_back({component.string(), true});
        }
    }
    // Relative targets go on from the link's own folder, where the walk stands.
    pending_.insert(pending_.begin(), steps.begin(), steps.end());
    return std::nullopt;
}

std::optional<fs::path> PathWalk::BelowRoot(const fs::path& target) const {
    for (const fs::path& root : rootSpellings_) {
        const auto [rootEnd, rest] = std::mismatch(root.begin(), root.end(), target.begin(), target.end());
        if (rootEnd == root.end()) {
            fs::path below;
            std::for_each(rest, target.end(), [&](const fs::path& component) { below /= component; });
            return below;
        }
    }
    return std::nullopt;
}

ResolvedPath PathWalk::Found(std::string name) {
    ResolvedPath result;
    std::transform(folders_.begin() + 1, folders_.end(), std::back_inserter(result.components),
                   [](const Folder& folder) { return platform::FromUtf8(folder.name); });
    if (name != ".") {
        result.components.push_back(platform::FromUtf8(name));
    }
    result.folder = std::move(folders_.back().fd);
    result.name = std::move(name);
    return result;
}

ResolvedPath PathWalk::FoundCurrentFolder() {
    if (folders_.size() == 1) {
        return Found(".");
    }
    std::string name = std::move(folders_.back().name);
    folders_.pop_back();
    return Found(std::move(name));
}

ResolvedPath PathWalk::Refused(std::uint32_t error) {
    ResolvedPath result;
    result.error = error;
    return result;
}

}  // namespace velkor::shared
