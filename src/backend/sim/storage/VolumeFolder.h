#pragma once

#include "backend/shared/ErrorState.h"
#include "backend/shared/UniqueFd.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::sim {

// The host folder that holds a partition's volume, <folder> in the open DIR/root, found without regard to
// case as the device finds folders. It is walked through descriptors and links are never
// followed, so that nothing outside it is counted or removed; a volume folder that is itself a
// link, or a file, is refused with kPathNotFound. A missing folder is an empty volume.
class VolumeFolder {
public:
    VolumeFolder(const shared::UniqueFd& root, std::u16string_view folder, shared::ErrorState& errors);

    // The clusters of `clusterBytes` that the files and folders inside take: each file the
    // clusters its bytes fill, each folder the clusters its entries fill ("." and ".." included),
    // at least one; links take none. Nothing, with the last error set, when it cannot be read.
    std::optional<std::uint64_t> UsedClusters(std::uint32_t clusterBytes);

    // Removes everything inside the folder, which stays. False, with the last error set, when
    // something could not be removed; what was removed until then stays removed.
    bool Empty();
    // Makes a folder inside, unless an entry of that name, in any letter case, is there. False, with the last error set, when
    // it cannot be made or the volume folder is missing.
    bool MakeFolder(const std::string& name);

private:
    // An invalid descriptor when the folder does not exist; nothing, with the last error set, when
    // it cannot be opened.
    std::optional<shared::UniqueFd> Open();
    // `countFolder`: whether the folder's own entries take clusters, as they do but in the volume's root.
    std::optional<std::uint64_t> CountClusters(int folderFd, std::uint32_t clusterBytes, bool countFolder);
    std::optional<std::uint64_t> EntryClusters(int folderFd, const std::string& name, std::uint32_t clusterBytes);
    bool RemoveContents(int folderFd);
    bool Fail();

    const shared::UniqueFd& root_;
    std::string folder_;
    shared::ErrorState& errors_;
};

}  // namespace velkor::sim
