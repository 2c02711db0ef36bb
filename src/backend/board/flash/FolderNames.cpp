#include "backend/board/flash/FolderNames.h"

#include "backend/shared/FolderEntries.h"
#include "backend/shared/UniqueFd.h"

#include <fcntl.h>

namespace velkor::board {

std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
    const shared::UniqueFd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return (folderFd.IsValid() ? shared::ListFolder(folderFd.Get()) : std::nullopt).value_or(std::vector<std::string>{});
}

}  // namespace velkor::board
