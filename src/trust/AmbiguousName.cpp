#include "trust/AmbiguousName.h"

#include "platform/DeviceText.h"

namespace velkor::trust {
namespace {

// How many entries of `folder` match `name`, stopping at two; a folder that cannot be listed has none.
int Matches(platform::FileSystem& fileSystem, const std::u16string& folder, std::u16string_view name) {
    platform::FindData entry;
    const std::unique_ptr<platform::FolderSearch> search = fileSystem.FindFirstFile(folder + u"\\*.*", entry);
    int matches = 0;
    for (bool more = search != nullptr; more && matches < 2; more = search->FindNext(entry)) {
        matches += platform::EqualsIgnoreCase(entry.name, name) ? 1 : 0;
    }
    return matches;
}

}  // namespace

std::optional<std::u16string> AmbiguousName(platform::FileSystem& fileSystem, std::u16string_view devicePath) {
    std::u16string folder;
    for (std::size_t start = 0; start < devicePath.size();) {
        const std::size_t end = std::min(devicePath.find_first_of(u"\\/", start), devicePath.size());
        const std::u16string_view name = devicePath.substr(start, end - start);
        start = end + 1;
        if (name.empty()) {
            continue;
        }
        if (Matches(fileSystem, folder, name) > 1) {
            return folder + u"\\" + std::u16string(name);
        }
        folder += u"\\" + std::u16string(name);
    }
    return std::nullopt;
}

}  // namespace velkor::trust
