#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace velkor::shared {

// The hidden and system bits of device paths, each path as AttributeRules::Key writes it (lower
// case, a backslash before each component).
using FileAttributeMap = std::map<std::u16string, std::uint32_t, std::less<>>;

// What a device's file system adds to the host's files: attribute bits the host has no place for,
// and folders whose entries are read-only (a write-protected card). Device folders are named by
// device paths. A real device sets none of these; the simulator fills them from its configuration.
struct FileRules {
    FileAttributeMap attributes;
    // Folders in which nothing can be created, changed, deleted or moved.
    std::vector<std::u16string> writeProtected;
};

}  // namespace velkor::shared
