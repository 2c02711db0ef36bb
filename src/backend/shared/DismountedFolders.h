#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velkor::shared {

// The folders of the device's root whose volumes are dismounted: the file system acts as if they
// were not there. Folder names compare without regard to case, so that no spelling reaches one.
class DismountedFolders {
public:
    bool Contains(std::u16string_view folder) const;
    // Adding a folder already there, or removing one that is not, changes nothing.
    void Add(std::u16string_view folder);
    void Remove(std::u16string_view folder);

private:
    std::vector<std::u16string> folders_;
};

}  // namespace velkor::shared
