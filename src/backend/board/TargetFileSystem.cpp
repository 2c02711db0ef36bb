#include "backend/board/TargetFileSystem.h"

#include "backend/shared/PathResolver.h"
#include "backend/shared/SearchPattern.h"
#include "platform/DeviceText.h"

#include <algorithm>

namespace velkor::board {
namespace {

namespace error = platform::error;

// The root's listing: its folders, as they stood when the search started.
class RootSearch : public platform::FolderSearch {
public:
    explicit RootSearch(std::vector<std::u16string> names, shared::ErrorState& errors)
        : names_(std::move(names)), errors_(errors) {}

    bool FindNext(platform::FindData& entry) override {
        if (next_ == names_.size()) {
            return errors_.Fail(error::kNoMoreFiles);
        }
        entry = {names_[next_++], platform::kFileAttributeDirectory, 0};
        return true;
    }

private:
    std::vector<std::u16string> names_;
    std::size_t next_ = 0;
    shared::ErrorState& errors_;
};

// "\StorageCard\x" is inside "StorageCard" as "\x".
std::u16string InsideFolder(const std::vector<std::u16string>& components) {
    std::u16string inside;
    for (auto component = components.begin() + 1; component != components.end(); ++component) {
        inside += u'\\' + *component;
    }
    return inside.empty() ? u"\\" : inside;
}

}  // namespace

TargetFileSystem::Folder::Folder(FolderMapping mapping, const shared::DismountedFolders& noneDismounted,
                                 shared::ErrorState& errors)
    : name(std::move(mapping.name)), files(mapping.host, noneDismounted, shared::FileRules{}, errors) {}

TargetFileSystem::TargetFileSystem(const std::vector<FolderMapping>& folders,
                                   const shared::DismountedFolders& dismounted, shared::ErrorState& errors)
    : dismounted_(dismounted), errors_(errors) {
    for (const FolderMapping& folder : folders) {
        folders_.push_back(std::make_unique<Folder>(folder, noneDismounted_, errors));
    }
}

std::uint32_t TargetFileSystem::GetAttributes(std::u16string_view path) {
    const std::optional<Route> route = Find(path);
    if (!route) {
        return platform::kInvalidFileAttributes;
    }
    return route->folder ? route->folder->files.GetAttributes(route->inside) : platform::kFileAttributeDirectory;
}

bool TargetFileSystem::CreateDirectory(std::u16string_view path) {
    const std::optional<Route> route = FindBelowRoot(path);
    if (!route) {
        return false;
    }
    return route->folder->files.CreateDirectory(route->inside);
}

bool TargetFileSystem::CopyFile(std::u16string_view from, std::u16string_view to) {
    const std::optional<RoutePair> routes = FindBoth(from, to);
    if (!routes) {
        return false;
    }
    return routes->source.folder->files.CopyFileTo(routes->source.inside, routes->target.folder->files,
                                                   routes->target.inside);
}

bool TargetFileSystem::DeleteFile(std::u16string_view path) {
    const std::optional<Route> route = FindBelowRoot(path);
    if (!route) {
        return false;
    }
    return route->folder->files.DeleteFile(route->inside);
}

bool TargetFileSystem::MoveFile(std::u16string_view from, std::u16string_view to) {
    const std::optional<RoutePair> routes = FindBoth(from, to);
    if (!routes) {
        return false;
    }
    if (routes->source.folder != routes->target.folder) {
        // Each folder is a volume of its own; a file is moved across volumes by copying it.
        return errors_.Fail(error::kAccessDenied);
    }
    return routes->source.folder->files.MoveFile(routes->source.inside, routes->target.inside);
}

std::unique_ptr<platform::File> TargetFileSystem::OpenFile(std::u16string_view path, platform::FileMode mode) {
    const std::optional<Route> route = FindBelowRoot(path);
    return route ? route->folder->files.OpenFile(route->inside, mode) : nullptr;
}

std::unique_ptr<platform::FolderSearch> TargetFileSystem::FindFirstFile(std::u16string_view pattern,
                                                                        platform::FindData& first) {
    const std::optional<std::u16string_view> folder = shared::SearchedFolder(pattern);
    if (!folder) {
        errors_.Fail(error::kInvalidParameter);
        return nullptr;
    }
    if (!shared::PathResolver::SplitComponents(*folder).empty()) {
        const std::optional<Route> route = FindBelowRoot(pattern);
        return route ? route->folder->files.FindFirstFile(route->inside, first) : nullptr;
    }
    auto search = std::make_unique<RootSearch>(PresentFolderNames(), errors_);
    if (!search->FindNext(first)) {
        errors_.Fail(error::kFileNotFound);
        return nullptr;
    }
    return search;
}

std::optional<TargetFileSystem::Route> TargetFileSystem::Find(std::u16string_view path) {
    const std::vector<std::u16string> components = shared::PathResolver::SplitComponents(path);
    if (components.empty()) {
        return Route{nullptr, u"\\"};
    }
    const auto found = std::find_if(folders_.begin(), folders_.end(), [&](const std::unique_ptr<Folder>& folder) {
        return platform::EqualsIgnoreCase(folder->name, components.front());
    });
    if (found == folders_.end() || dismounted_.Contains((*found)->name)) {
        errors_.Fail(shared::PathResolver::IsAcceptableName(components.front()) ? error::kPathNotFound
                                                                               : error::kInvalidName);
        return std::nullopt;
    }
    return Route{found->get(), InsideFolder(components)};
}

std::optional<TargetFileSystem::Route> TargetFileSystem::FindBelowRoot(std::u16string_view path) {
    std::optional<Route> route = Find(path);
    if (route && !route->folder) {
        errors_.Fail(error::kAccessDenied);
        return std::nullopt;
    }
    return route;
}

std::optional<TargetFileSystem::RoutePair> TargetFileSystem::FindBoth(std::u16string_view from,
                                                                     std::u16string_view to) {
    std::optional<Route> source = FindBelowRoot(from);
    std::optional<Route> target = source ? FindBelowRoot(to) : std::nullopt;
    if (!target) {
        return std::nullopt;
    }
    return RoutePair{std::move(*source), std::move(*target)};
}

std::vector<std::u16string> TargetFileSystem::PresentFolderNames() const {
    std::vector<std::u16string> names;
    for (const std::unique_ptr<Folder>& folder : folders_) {
        if (!dismounted_.Contains(folder->name)) {
            names.push_back(folder->name);
        }
    }
    std::sort(names.begin(), names.end(), [](const std::u16string& first, const std::u16string& second) {
        return platform::FoldCase(first) < platform::FoldCase(second);
    });
    return names;
}

}  // namespace velkor::board
