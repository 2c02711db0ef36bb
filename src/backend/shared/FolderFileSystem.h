#pragma once

#include "backend/shared/AttributeRules.h"
#include "backend/shared/DismountedFolders.h"
#include "backend/shared/ErrorState.h"
#include "backend/shared/FileRules.h"
#include "backend/shared/PathResolver.h"
#include "backend/shared/UniqueFd.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velkor::shared {

// A device's file system on a host folder, with the attributes of its rules. Every operation acts
// inside the folder its path resolved to, through that folder's descriptor.
class FolderFileSystem : public platform::FileSystem {
public:
    // Paths into the `dismounted` folders of the root answer kPathNotFound.
    FolderFileSystem(const std::filesystem::path& root, const DismountedFolders& dismounted, const FileRules& rules,
                     ErrorState& errors);

    std::uint32_t GetAttributes(std::u16string_view path) override;
    bool CreateDirectory(std::u16string_view path) override;
    bool CopyFile(std::u16string_view from, std::u16string_view to) override;
    bool DeleteFile(std::u16string_view path) override;
    bool MoveFile(std::u16string_view from, std::u16string_view to) override;
    std::unique_ptr<platform::File> OpenFile(std::u16string_view path, platform::FileMode mode) override;
    std::unique_ptr<platform::FolderSearch> FindFirstFile(std::u16string_view pattern,
                                                          platform::FindData& first) override;

    // Copies `from` of this file system onto `to` of `targetFiles`, this one or another over a
    // host folder of its own, as CopyFile does.
    bool CopyFileTo(std::u16string_view from, FolderFileSystem& targetFiles, std::u16string_view to);
    // Where a path leads, its links followed: its device components as spelled on disk. Nothing
    // when it is refused; the last error is left alone either way.
    std::optional<std::vector<std::u16string>> Locate(std::u16string_view path) const;

private:
    // Nothing, with the last error set, when the path is refused.
    std::optional<ResolvedPath> Resolve(std::u16string_view path, FinalLink finalLink);
    // As Resolve, and refused with kWriteProtect where the path leads into a protected folder.
    std::optional<ResolvedPath> ResolveForChange(std::u16string_view path, FinalLink finalLink);
    bool IsWriteProtected(const ResolvedPath& path) const;

    PathResolver resolver_;
    const DismountedFolders& dismounted_;
    AttributeRules attributes_;
    ErrorState& errors_;
};

}  // namespace velkor::shared
