#include "backend/shared/DismountedFolders.h"

#include "backend/shared/NameList.h"
#include "platform/DeviceText.h"

namespace velkor::shared {

bool DismountedFolders::Contains(std::u16string_view folder) const { return ListsName(folders_, folder); }

void DismountedFolders::Add(std::u16string_view folder) {
    if (!Contains(folder)) {
        folders_.emplace_back(folder);
    }
}

void DismountedFolders::Remove(std::u16string_view folder) {
    std::erase_if(folders_,
                  [&](const std::u16string& dismounted) { return platform::EqualsIgnoreCase(dismounted, folder); });
}

}  // namespace velkor::shared
