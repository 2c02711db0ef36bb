#pragma once

#include "backend/shared/UniqueFd.h"
#include "platform/ErrorCodes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velkor::shared {

// Whether a symbolic link named by a path's last component is followed (opening, reading
// attributes) or is itself the entry acted on (deleting, moving, making a folder).
enum class FinalLink { Follow, Keep };

// Where a device path leads inside the root: the open folder that holds the entry and the entry's
// name in it, so that the operation acts on exactly the folder the walk checked.
struct ResolvedPath {
    // kSuccess, or why the path is refused (kInvalidName, kAccessDenied, kPathNotFound).
    std::uint32_t error = platform::error::kSuccess;
    // Opened with O_PATH; only for the *at() calls.
    UniqueFd folder;
    // The entry's host name in `folder`, which need not exist yet; "." for the root itself.
    std::string name;
    // The entry's location as device components after links were followed, spelled as found on
    // disk; a name that does not exist yet keeps the caller's spelling.
    std::vector<std::u16string> components;
};

}  // namespace velkor::shared
