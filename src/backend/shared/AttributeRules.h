#pragma once

#include "backend/shared/FileRules.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::shared {

// The attributes the device gives its entries: folder or file as the host has it, read-only for
// files inside a write-protected folder, and the hidden and system bits the rules give. Locations are named by keys (Key), so that a folder search computes its
// folder's key once and each entry's key from it.
class AttributeRules {
public:
    explicit AttributeRules(const FileRules& rules);

    // A location's key: each device component in lower case after a backslash; "" for the root.
    static std::u16string Key(const std::vector<std::u16string>& components);
    // The key of the entry `name` of the folder whose key is `folderKey`.
    static std::u16string EntryKey(std::u16string_view folderKey, std::u16string_view name);

    // True for `key` and everything below it when it lies inside a write-protected folder.
    bool IsWriteProtected(std::u16string_view key) const;
    // The attributes of the entry at `key`, a folder or a file.
    std::uint32_t Of(std::u16string_view key, bool isFolder) const;

private:
    std::vector<std::u16string> writeProtected_;
    FileAttributeMap configured_;
};

}  // namespace velkor::shared
