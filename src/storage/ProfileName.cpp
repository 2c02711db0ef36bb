#include "storage/ProfileName.h"

#include "platform/RegistryKey.h"
#include "platform/StoreProfiles.h"

namespace velkor::storage {

int ReadProfileName(platform::Registry& registry, std::u16string_view profile, std::u16string& name,
                    std::size_t capacity) {
    const platform::RegistryKey key(registry, std::u16string(platform::kProfilesKey) + std::u16string(profile),
                                    platform::KeyOpening::ExistingOnly);
    const std::optional<std::u16string> value = key.StringValue(u"Name", capacity * sizeof(char16_t));
    if (!value) {
        return 0;
    }
    name = *value;
    return 1;
}

}  // namespace velkor::storage
