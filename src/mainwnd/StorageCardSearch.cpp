#include "mainwnd/StorageCardSearch.h"

#include "platform/DeviceText.h"
#include "platform/RegistryKey.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace velkor::mainwnd {
namespace {

using platform::EqualsIgnoreCase;

constexpr std::size_t kKeyNameChars = 260;
constexpr std::size_t kFolderValueBytes = 520;
constexpr int kHighestFolderSuffix = 4;

std::u16string ReadFolderValue(platform::Registry& registry, const std::u16string& profile) {
    const platform::RegistryKey key(registry, std::u16string(kProfilesKey) + profile);
    return key.StringValue(u"Folder", kFolderValueBytes).value_or(std::u16string());
}

// The first of "folder", "folder1" ... "folder4" that exists, as a root path.
std::optional<std::u16string> FindExistingCandidate(platform::FileSystem& fileSystem,
                                                    const std::u16string& folder) {
    for (int suffix = 0; suffix <= kHighestFolderSuffix; ++suffix) {
        const std::u16string candidate =
            suffix == 0 ? platform::Format(u"%s", folder) : platform::Format(u"%s%d", folder, suffix);
        if (fileSystem.GetAttributes(candidate) != platform::kInvalidFileAttributes) {
            return platform::Format(u"\\%s", candidate);
        }
    }
    return std::nullopt;
}

}  // namespace

bool IsFlashProfile(std::u16string_view profileName) {
    return platform::ToLowerCase(profileName).find(u"flash") != std::u16string::npos;
}

std::u16string FindStorageCard(platform::Registry& registry, platform::FileSystem& fileSystem) {
    std::u16string root;
    const platform::RegistryKey profiles(registry, kProfilesKey);
    if (!profiles.IsOpen()) {
        return root;
    }
    std::vector<std::u16string> seenFolders;
    for (std::uint32_t index = 0;; ++index) {
        const auto name = profiles.SubkeyName(index, kKeyNameChars);
        if (!name) {
            break;
        }
        if (IsFlashProfile(*name)) {
            continue;
        }
        const std::u16string folder = ReadFolderValue(registry, *name);
        const bool seen = std::any_of(seenFolders.begin(), seenFolders.end(),
                                      [&](const std::u16string& other) { return EqualsIgnoreCase(other, folder); });
        if (seen) {
            continue;
        }
        seenFolders.push_back(folder);
        if (!folder.empty()) {
            root = FindExistingCandidate(fileSystem, folder).value_or(root);
        }
    }
    return root;
}

}  // namespace velkor::mainwnd
