#include "mainwnd/StorageCardSearch.h"

#include "platform/StoreProfiles.h"

namespace velkor::mainwnd {

std::u16string FindStorageCard(platform::Registry& registry, platform::FileSystem& fileSystem) {
    std::u16string root;
    const auto folders = platform::RemovableStoreFolders(registry);
    if (!folders) {
        return root;
    }
    for (const std::u16string& folder : *folders) {
        const std::vector<std::u16string> mounted = platform::MountedStoreFolders(fileSystem, folder);
        if (!mounted.empty()) {
            root = u"\\" + mounted.front();
        }
    }
    return root;
}

}  // namespace velkor::mainwnd
