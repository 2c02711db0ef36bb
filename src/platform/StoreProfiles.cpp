#include "platform/StoreProfiles.h"

#include "platform/DeviceText.h"
#include "platform/RegistryKey.h"

#include <algorithm>

namespace velkor::platform {
namespace {

constexpr std::size_t kKeyNameChars = 260;
constexpr std::size_t kFolderValueBytes = 520;
constexpr int kHighestFolderSuffix = 4;

std::u16string ReadFolderValue(Registry& registry, const std::u16string& profile) {
    const RegistryKey key(registry, std::u16string(kProfilesKey) + profile);
    return key.StringValue(u"Folder", kFolderValueBytes).value_or(std::u16string());
}

bool Contains(const std::vector<std::u16string>& folders, std::u16string_view folder) {
    return std::any_of(folders.begin(), folders.end(),
                       [&](const std::u16string& other) { return EqualsIgnoreCase(other, folder); });
}

}  // namespace

bool IsFlashProfile(std::u16string_view profileName) {
    return ToLowerCase(profileName).find(u"flash") != std::u16string::npos;
}

std::optional<std::vector<std::u16string>> RemovableStoreFolders(Registry& registry) {
    const RegistryKey profiles(registry, kProfilesKey);
    if (!profiles.IsOpen()) {
        return std::nullopt;
    }
    std::vector<std::u16string> folders;
    for (std::uint32_t index = 0;; ++index) {
        const std::optional<std::u16string> name = profiles.SubkeyName(index, kKeyNameChars);
        if (!name) {
            return folders;
        }
        if (IsFlashProfile(*name)) {
            continue;
        }
        std::u16string folder = ReadFolderValue(registry, *name);
        if (!folder.empty() && !Contains(folders, folder)) {
            folders.push_back(std::move(folder));
        }
    }
}

std::vector<std::u16string> MountedStoreFolders(FileSystem& fileSystem, std::u16string_view folder) {
    std::vector<std::u16string> mounted;
    for (int suffix = 0; suffix <= kHighestFolderSuffix; ++suffix) {
        std::u16string candidate = suffix == 0 ? Format(u"%s", folder) : Format(u"%s%d", folder, suffix);
        if (fileSystem.GetAttributes(candidate) != kInvalidFileAttributes) {
            mounted.push_back(std::move(candidate));
        }
    }
    return mounted;
}

}  // namespace velkor::platform
