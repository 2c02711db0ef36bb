#include "backend/shared/AttributeRules.h"

#include "backend/shared/PathResolver.h"
#include "platform/DeviceText.h"
#include "platform/FileSystem.h"

#include <algorithm>

namespace velkor::shared {

AttributeRules::AttributeRules(const FileRules& rules) : configured_(rules.attributes) {
    for (const std::u16string& folder : rules.writeProtected) {
        writeProtected_.push_back(Key(PathResolver::SplitComponents(folder)));
    }
}

std::u16string AttributeRules::Key(const std::vector<std::u16string>& components) {
    std::u16string key;
    for (const std::u16string& component : components) {
        key = EntryKey(key, component);
    }
    return key;
}

std::u16string AttributeRules::EntryKey(std::u16string_view folderKey, std::u16string_view name) {
    return std::u16string(folderKey) + u'\\' + platform::ToLowerCase(name);
}

bool AttributeRules::IsWriteProtected(std::u16string_view key) const {
    // A key below a folder continues the folder's key with a backslash, so "\card2" is not inside "\card".
    return std::any_of(writeProtected_.begin(), writeProtected_.end(), [&](const std::u16string& folder) {
        return key.starts_with(folder) && (key.size() == folder.size() || key[folder.size()] == u'\\');
    });
}

std::uint32_t AttributeRules::Of(std::u16string_view key, bool isFolder) const {
    const auto configured = configured_.find(key);
    const std::uint32_t hiddenAndSystem = configured != configured_.end() ? configured->second : 0;
    if (isFolder) {
        return platform::kFileAttributeDirectory | hiddenAndSystem;
    }
    return platform::kFileAttributeArchive | hiddenAndSystem |
           (IsWriteProtected(key) ? platform::kFileAttributeReadOnly : 0);
}

}  // namespace velkor::shared
