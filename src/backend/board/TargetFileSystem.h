#pragma once

#include "backend/shared/DismountedFolders.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/FolderFileSystem.h"
#include "platform/FileSystem.h"
#include "backend/board/TargetConfig.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::board {

// The device's file system on a real device: its top-level folders are the host folders the target
// file names, and below each one device paths resolve as on the simulator, confined to that host
// folder. The root lists the folders by name; a partition's folder is absent while its volume is
// dismounted. Files copy between folders; they move only within one.
class TargetFileSystem : public platform::FileSystem {
public:
    // Throws std::filesystem::filesystem_error when a folder does not exist.
    TargetFileSystem(const std::vector<FolderMapping>& folders, const shared::DismountedFolders& dismounted,
                     shared::ErrorState& errors);

    std::uint32_t GetAttributes(std::u16string_view path) override;
    bool CreateDirectory(std::u16string_view path) override;
    bool CopyFile(std::u16string_view from, std::u16string_view to) override;
    bool DeleteFile(std::u16string_view path) override;
    bool MoveFile(std::u16string_view from, std::u16string_view to) override;
    std::unique_ptr<platform::File> OpenFile(std::u16string_view path, platform::FileMode mode) override;
    std::unique_ptr<platform::FolderSearch> FindFirstFile(std::u16string_view pattern,
                                                          platform::FindData& first) override;

private:
    struct Folder {
        Folder(FolderMapping mapping, const shared::DismountedFolders& noneDismounted, shared::ErrorState& errors);
        std::u16string name;
        shared::FolderFileSystem files;
    };
    // A device path split at its top-level folder: the folder and the path inside it.
    struct Route {
        Folder* folder;
        std::u16string inside;
    };
    struct RoutePair {
        Route source;
        Route target;
    };

    // Nothing, with the last error set, when the path names no present folder; a route with no
    // folder for the root itself.
    std::optional<Route> Find(std::u16string_view path);
    // As Find, and refused with kAccessDenied for the root, where nothing can be made or removed.
    std::optional<Route> FindBelowRoot(std::u16string_view path);
    // Both paths below the root; nothing, with the last error set, unless both are.
    std::optional<RoutePair> FindBoth(std::u16string_view from, std::u16string_view to);
    // The folders whose volumes are mounted, in name order (without regard to case).
    std::vector<std::u16string> PresentFolderNames() const;

    const shared::DismountedFolders& dismounted_;
    // No folder inside a top-level folder is ever dismounted.
    shared::DismountedFolders noneDismounted_;
    std::vector<std::unique_ptr<Folder>> folders_;
    shared::ErrorState& errors_;
};

}  // namespace velkor::board
