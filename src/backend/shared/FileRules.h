#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velkor::shared {

// The hidden and system bits of device paths, each path as AttributeRules::Key writes it (lower
// case, a backslash before each component).
using FileAttributeMap = std::map<std::u16string, std::uint32_t, std::less<>>;

// What a device's file system adds to the host's files: attribute bits the host has no place for,
// and the limits a device may set. Device folders and files are named by device paths. A real
// device sets none of these; the simulator fills them from its configuration.
struct FileRules {
    FileAttributeMap attributes;
    // Folders in which nothing can be created, changed, deleted or moved.
    std::vector<std::u16string> writeProtected;
    // Writes that would make a file longer than this many bytes fail as on a full disk.
    std::optional<std::uint64_t> fileSizeLimit;
    // Files that do not open, in any mode.
    std::vector<std::u16string> openFails;
    // Moving (renaming) a file fails.
    bool moveFails = false;
};

}  // namespace velkor::shared
