#include "target/flash/FolderNames.h"

#include "host/FolderEntries.h"
#include "host/UniqueFd.h"

#include <fcntl.h>

namespace velkor::target {

std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
    const host::UniqueFd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return (folderFd.IsValid() ? host::ListFolder(folderFd.Get()) : std::nullopt).value_or(std::vector<std::string>{});
}

}  // namespace velkor::target
